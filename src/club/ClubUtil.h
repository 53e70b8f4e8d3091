#pragma once
// One role of this host in a master/backup pair. A master broadcasts "ACTIVE" or "CLOSE" every
// interval + 1 seconds; a backup listens for it and reports the master's state when it changes:
// 0 "ACTIVE" heard, 1 "CLOSE" heard, 2 silence for interval + 5 seconds.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "club/NetLib.h"

namespace vorta {

inline constexpr std::uint16_t kHeartbeatPort = 6666;
inline constexpr std::uint8_t kPeerActive = 0;
inline constexpr std::uint8_t kPeerClosed = 1;
inline constexpr std::uint8_t kPeerSilent = 2;

struct ClubTiming {
    std::chrono::seconds interval{40};
    std::uint16_t port = kHeartbeatPort;
    std::string destination = kLimitedBroadcast;  // tests aim at loopback
    std::chrono::milliseconds rebindPause{1000};  // after a failed rebind, before the next try
};

// The states a datagram reports, in order: its last line first, then the line before it.
// Lines are split at CR and LF, leading blanks skipped, empty lines dropped, compared in upper
// case; other text reports nothing.
std::vector<std::uint8_t> HeartbeatStates(std::string_view datagram);

// The last reported peer state of the process; a report happens only when it changes.
class PeerStateRecord {
public:
    // True (and stored) when `state` differs from the last one.
    bool Change(std::uint8_t state) { return last_.exchange(state) != state; }
    std::uint8_t Last() const { return last_; }

private:
    std::atomic<std::uint8_t> last_{kPeerActive};
};

class TClubUnit {
public:
    using PeerState =
        std::function<void(TClubUnit& unit, const std::string& sender, std::uint8_t state)>;
    using GetClosed = std::function<bool(TClubUnit& unit)>;

    // A backup binds its port here; throws std::runtime_error when it cannot.
    TClubUnit(bool master, ClubTiming timing, PeerStateRecord& lastState);
    ~TClubUnit();
    TClubUnit(const TClubUnit&) = delete;
    TClubUnit& operator=(const TClubUnit&) = delete;

    PeerState OnPeerState;
    GetClosed OnGetClosed;

    bool IsMaster() const { return master_; }
    void StartMonitor();
    // Ends the monitor thread at once, also while it waits for a datagram.
    void StopMonitor();

private:
    void MasterPass(std::stop_token stop);
    void BackupPass(std::stop_token stop);
    void Report(const std::string& sender, std::uint8_t state);

    bool master_;
    ClubTiming timing_;
    PeerStateRecord& lastState_;
    Socket send_ = kNoSocket;
    Socket receive_ = kNoSocket;
    int wake_ = -1;  // eventfd that ends a wait for a datagram
    std::jthread monitor_;
};

}  // namespace vorta
