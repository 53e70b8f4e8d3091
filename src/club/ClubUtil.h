#pragma once
// One role of this host in a master/backup pair. A master broadcasts "ACTIVE" or "CLOSE" every
// interval + 1 seconds, from the moment it knows its lines' state; a backup listens for it and
// reports the master's state when it changes: 0 "ACTIVE" heard, 1 "CLOSE" heard, 2 silence for
// interval + 5 seconds. A backup hears only broadcasts from other hosts on the LAN of the
// interface that takes them.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/Datagrams.h"

namespace vorta {

inline constexpr std::uint16_t kHeartbeatPort = 6666;
inline constexpr std::uint8_t kPeerActive = 0;
inline constexpr std::uint8_t kPeerClosed = 1;
inline constexpr std::uint8_t kPeerSilent = 2;
// Nothing heard yet: the first heartbeat or silence is a change, whatever it says.
inline constexpr std::uint8_t kPeerUnknown = 0xFF;

struct ClubTiming {
    std::chrono::seconds interval{40};
    std::uint16_t port = kHeartbeatPort;
    std::string destination = platform::kLimitedBroadcast;  // tests aim at loopback's broadcast

    // A master's period; a backup that cannot bind its port tries again after as long.
    std::chrono::seconds Heartbeat() const { return interval + std::chrono::seconds(1); }
    // A backup that hears no heartbeat for this long reports silence.
    std::chrono::seconds Silence() const { return interval + std::chrono::seconds(5); }
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
    // A new unit has heard nothing yet.
    void Forget() { last_ = kPeerUnknown; }

private:
    std::atomic<std::uint8_t> last_{kPeerUnknown};
};

class TClubUnit {
public:
    using PeerState =
        std::function<void(TClubUnit& unit, const std::string& sender, std::uint8_t state)>;
    using GetClosed = std::function<bool(TClubUnit& unit)>;
    // Waits until a master knows its lines' state; false when `stop` came first.
    using AwaitKnown = std::function<bool(TClubUnit& unit, std::stop_token stop)>;
    // A datagram that was no LAN broadcast from another host, or empty.
    using Ignored = std::function<void(TClubUnit& unit, const std::string& sender)>;
    // Why a backup cannot bind its port; "" once a later try binds it.
    using PortState = std::function<void(TClubUnit& unit, const std::string& failure)>;

    // A backup tries to bind its port here; without it the monitor tries again every heartbeat
    // interval, hearing nothing meanwhile. Without `datagrams` a master sends nothing and a
    // backup never binds.
    TClubUnit(bool master, platform::IDatagrams* datagrams, ClubTiming timing,
              PeerStateRecord& lastState);
    ~TClubUnit();
    TClubUnit(const TClubUnit&) = delete;
    TClubUnit& operator=(const TClubUnit&) = delete;

    // Set before StartMonitor; called from the monitor thread, OnPortState also from
    // StartMonitor when the first bind failed.
    PeerState OnPeerState;
    GetClosed OnGetClosed;
    AwaitKnown OnAwaitKnown;  // unset: a master knows its state at once
    Ignored OnIgnored;
    PortState OnPortState;

    bool IsMaster() const { return master_; }
    void StartMonitor();
    // Ends the monitor thread at once, also while it waits for a datagram.
    void StopMonitor();

private:
    void MasterPass(std::stop_token stop);
    void BackupPass(std::stop_token stop);
    void Hear(const platform::Datagram& datagram, std::string_view text);
    bool Bind();
    void AwaitRebind(std::stop_token stop);
    void Report(const std::string& sender, std::uint8_t state);

    using Clock = std::chrono::steady_clock;

    const bool master_;
    platform::IDatagrams* const datagrams_;
    const ClubTiming timing_;
    PeerStateRecord& lastState_;
    std::string portFailure_;  // the last bind's failure; "" when bound
    Clock::time_point silentAt_;
    std::unique_ptr<platform::IUdpSocket> send_;
    std::unique_ptr<platform::IUdpSocket> receive_;
    std::unique_ptr<platform::IWakeup> wake_;  // ends a wait for a datagram
    std::jthread monitor_;
};

}  // namespace vorta
