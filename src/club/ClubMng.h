#pragma once
// The master/backup role of this host: starts its unit and turns what a backup hears into the
// lines manager's LinesEnabled flag.

#include <memory>

#include "club/ClubUtil.h"

namespace vorta {

class TLinesMng;

class TClubMng {
public:
    explicit TClubMng(TLinesMng* lines, ClubTiming timing = {}) : lines_(lines), timing_(timing) {}
    ~TClubMng() { unit_.reset(); }

    // Starts a unit in `master` role; a running unit of the same role is left alone, another
    // one is replaced. Throws when a backup's port cannot be bound.
    void Start(bool master);
    bool Running() const { return unit_ != nullptr; }
    bool IsMaster() const { return master_; }
    const PeerStateRecord& LastState() const { return lastState_; }

private:
    void OnPeerState(std::uint8_t state);
    bool OnGetClosed() const;

    TLinesMng* lines_;
    ClubTiming timing_;
    PeerStateRecord lastState_;
    bool master_ = false;
    std::unique_ptr<TClubUnit> unit_;
};

}  // namespace vorta
