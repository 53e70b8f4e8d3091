#pragma once
// The master/backup role of this host: starts its unit and turns what a backup hears into the
// lines manager's duty.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "club/ClubUtil.h"

namespace vorta {

class TLinesMng;

class TClubMng {
public:
    // Without `datagrams` the pair is not joined: see TClubUnit.
    TClubMng(TLinesMng* lines, platform::IDatagrams* datagrams, ClubTiming timing = {})
        : lines_(lines), datagrams_(datagrams), timing_(timing) {}
    ~TClubMng() { unit_.reset(); }

    // Why a backup cannot bind its heartbeat port, and "" once a later try binds it; called
    // from Start or the unit's thread. Set before Start.
    std::function<void(const std::string& failure)> OnPortFailure;

    // Starts a unit in `master` role; a running unit of the same role is left alone, another
    // one is replaced. A new unit starts with the peer state unknown and the lines' duty Carry;
    // a master says nothing before its lines manager's first pass. A backup whose port cannot be
    // bound runs on without the pair, trying again every heartbeat interval, and reports silence
    // when it comes due.
    void Start(bool master);
    // These may be read from any thread.
    bool Running() const { return running_; }
    bool IsMaster() const { return master_; }
    const PeerStateRecord& LastState() const { return lastState_; }
    // Why the backup cannot listen now; "" while it listens, for a master and before Start.
    std::string PortFailure() const;
    // Datagrams on the heartbeat port that were not a LAN broadcast from another host, or empty,
    // since creation.
    std::uint64_t IgnoredDatagrams() const { return ignored_; }

private:
    void OnPeerState(std::uint8_t state);
    bool OnGetClosed() const;
    void SetPortFailure(const std::string& failure);

    TLinesMng* lines_;
    platform::IDatagrams* datagrams_;
    ClubTiming timing_;
    PeerStateRecord lastState_;
    // Written by Start only after the old unit's thread is joined; atomic for IsMaster's callers.
    std::atomic<bool> master_{false};
    std::atomic<bool> running_{false};
    std::atomic<std::uint64_t> ignored_{0};
    mutable std::mutex failureMutex_;
    std::string portFailure_;
    std::unique_ptr<TClubUnit> unit_;
};

}  // namespace vorta
