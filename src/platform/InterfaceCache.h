#pragma once
// This host's IPv4 interfaces as a backup judges heartbeats by. The table is read once and read
// again only when it may have changed, so that a flood of datagrams costs no dump of the
// system's interfaces per datagram.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/Datagrams.h"

namespace vorta::platform {

// One IPv4 address of an interface with its on-link prefix, in host byte order; `broadcast` is
// the configured broadcast address, 0 when the system names none.
struct Ip4Subnet {
    std::uint32_t address = 0;
    std::uint32_t mask = 0;
    std::uint32_t broadcast = 0;
    bool Holds(std::uint32_t other) const { return (other & mask) == (address & mask); }
};

struct Ip4Interface {
    unsigned index = 0;  // the interface index, as IP_PKTINFO reports it
    // Up and on a broadcast medium: not loopback, not a point-to-point link or a tunnel.
    bool broadcastCapable = false;
    std::vector<Ip4Subnet> subnets;
};

class InterfaceCache {
public:
    using Clock = std::chrono::steady_clock;
    using Reader = std::function<std::vector<Ip4Interface>()>;

    // `read` lists the interfaces. Without a change notice the table is read again when a
    // datagram names an interface it lacks or a sender that is none of this host's addresses
    // (what every heartbeat from another host is), at most once per `rereadAfter`.
    explicit InterfaceCache(Reader read,
                            std::chrono::milliseconds rereadAfter = std::chrono::seconds(1))
        : read_(std::move(read)), rereadAfter_(rereadAfter) {}

    // The system says its interfaces changed: the next judgement reads them again. Any thread.
    void Invalidate() { changed_ = true; }

    // IDatagrams::IsLanBroadcast: a broadcast from another host on the LAN of the interface that
    // took it. Any thread.
    bool IsLanBroadcast(const Datagram& datagram);

    // How often the table was read; for tests.
    unsigned Reads() const { return reads_; }

private:
    const Ip4Interface* Arrival(unsigned index) const;
    bool IsOwnAddress(std::uint32_t address) const;
    void Read(Clock::time_point now);

    const Reader read_;
    const std::chrono::milliseconds rereadAfter_;
    std::atomic<bool> changed_{true};  // the first judgement reads the table
    std::atomic<unsigned> reads_{0};
    std::mutex mutex_;  // guards the table and its time
    std::vector<Ip4Interface> table_;
    Clock::time_point readAt_{};
};

}  // namespace vorta::platform
