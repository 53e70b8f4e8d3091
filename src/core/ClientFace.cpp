#include "core/ClientFace.h"

#include "core/Client.h"

namespace vorta {

const ViewState& LocalFace::View() const {
    return client_.View();
}
const TLogList& LocalFace::Log() const {
    return client_.Log();
}
std::string LocalFace::ServiceUrl() const {
    return client_.SettingsRecord().Get().ServiceUrl;
}
void LocalFace::Act(const FaceAction& action) {
    ApplyFaceAction(client_, action, false);
}
std::optional<TLineInfo> LocalFace::FindLine(const std::string& lineId) {
    if (lineId.empty() || !client_.LinesMng()) return std::nullopt;
    const auto line = client_.LinesMng()->Find(lineId);
    if (!line) return std::nullopt;
    return line->info;
}
TSysInfo* LocalFace::SysInfo() {
    return client_.SysInfo();
}

}  // namespace vorta
