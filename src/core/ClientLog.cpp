#include "core/ClientLog.h"

#include <algorithm>
#include <utility>

namespace vorta {

void ClientLog::AddLog(unsigned char kind, const std::string& text) {
    list_.AddLog(kind, text);
    frontEnd_.LogAdded();
}

void ClientLog::PostLog(unsigned char kind, std::string text) {
    loop_.Post(ClientEvent([this, kind, text = std::move(text)] { AddLog(kind, text); }));
}

void ClientLog::Notify(const std::string& text) {
    AddLog(0, text);
    frontEnd_.ShowHint(text);
}

std::string ClientLog::Since(std::uint64_t before) const {
    const auto count = static_cast<std::size_t>(
        std::min<std::uint64_t>(list_.Added() - before, static_cast<std::uint64_t>(list_.size())));
    std::string out;
    for (std::size_t i = count; i-- > 0;) out += list_[i].Text + "\n";
    return out;
}

}  // namespace vorta
