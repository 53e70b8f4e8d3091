#include "club/ClubMng.h"

#include "lines/LinesMng.h"

namespace vorta {

void TClubMng::Start(bool master) {
    if (unit_ && master_ == master) return;
    unit_.reset();  // joins the old unit's thread, which reads master_
    master_ = master;
    SetPortFailure({});
    // The new unit has heard nothing of a master: the lines carry until its "ACTIVE" is heard.
    lastState_.Forget();
    if (lines_ != nullptr) lines_->Duty = LinesDuty::Carry;
    unit_ = std::make_unique<TClubUnit>(master, datagrams_, timing_, lastState_);
    unit_->OnPeerState = [this](TClubUnit&, const std::string&, std::uint8_t state) {
        OnPeerState(state);
    };
    unit_->OnGetClosed = [this](TClubUnit&) { return OnGetClosed(); };
    unit_->OnAwaitKnown = [this](TClubUnit&, std::stop_token stop) {
        return lines_ == nullptr || lines_->AwaitFirstPass(stop);
    };
    unit_->OnIgnored = [this](TClubUnit&, const std::string&) { ++ignored_; };
    unit_->OnPortState = [this](TClubUnit&, const std::string& failure) {
        SetPortFailure(failure);
        if (OnPortFailure) OnPortFailure(failure);
    };
    unit_->StartMonitor();
    running_ = true;
}

std::string TClubMng::PortFailure() const {
    std::lock_guard lock(failureMutex_);
    return portFailure_;
}

void TClubMng::SetPortFailure(const std::string& failure) {
    std::lock_guard lock(failureMutex_);
    portFailure_ = failure;
}

void TClubMng::OnPeerState(std::uint8_t state) {
    if (master_ || lines_ == nullptr) return;
    lines_->Duty = state == kPeerActive ? LinesDuty::StandBy : LinesDuty::Carry;
}

bool TClubMng::OnGetClosed() const {
    return lines_ != nullptr && lines_->Groups == GroupState::BothFailing;
}

}  // namespace vorta
