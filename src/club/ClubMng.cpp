#include "club/ClubMng.h"

#include "lines/LinesMng.h"

namespace vorta {

void TClubMng::Start(bool master) {
    if (unit_ && master_ == master) return;
    master_ = master;
    unit_.reset();
    unit_ = std::make_unique<TClubUnit>(master, timing_, lastState_);
    unit_->OnPeerState = [this](TClubUnit&, const std::string&, std::uint8_t state) {
        OnPeerState(state);
    };
    unit_->OnGetClosed = [this](TClubUnit&) { return OnGetClosed(); };
    unit_->StartMonitor();
}

void TClubMng::OnPeerState(std::uint8_t state) {
    if (master_ || lines_ == nullptr) return;
    lines_->LinesEnabled = state == kPeerActive ? 0 : 1;
}

bool TClubMng::OnGetClosed() const {
    return lines_ != nullptr && lines_->GroupState == 2;
}

}  // namespace vorta
