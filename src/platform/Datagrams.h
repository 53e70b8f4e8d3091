#pragma once
// IPv4 UDP datagrams as the master/backup heartbeat uses them: broadcasts through every LAN,
// receipts that tell where a datagram arrived, and a wake-up that ends a wait for a stop.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

namespace vorta::platform {

inline constexpr const char* kLimitedBroadcast = "255.255.255.255";

// One datagram as it reached this host. Addresses are IPv4 in host byte order.
struct Datagram {
    std::size_t length = 0;
    std::string sender;               // dotted text
    std::uint32_t senderAddress = 0;  // the same as a number
    std::uint32_t destination = 0;    // the IP header's destination; 0 on an unbound socket
    unsigned interfaceIndex = 0;      // where it arrived; 0 when the system did not say
};
enum class Receipt { Datagram, Nothing, Error };

// Ends waits for a datagram from another thread: once woken, every wait given it ends at once.
class IWakeup {
public:
    virtual ~IWakeup() = default;
    virtual void Wake() = 0;
};

// A UDP socket with broadcasts allowed and routing bypassed.
class IUdpSocket {
public:
    virtual ~IUdpSocket() = default;
    // Sends to 255.255.255.255:`port` through every broadcast-capable interface that is up; the
    // byte count when any interface took it, else -1.
    virtual int SendBroadcast(std::uint16_t port, std::string_view data) = 0;
    // The same to the dotted IPv4 address `to` (255.255.255.255 goes as SendBroadcast sends it);
    // -1 also for an address that is not one.
    virtual int SendTo(const std::string& to, std::uint16_t port, std::string_view data) = 0;
    // Waits up to `timeout` (negative: no limit) for one datagram; its bytes go to `buffer`, cut
    // at its size. Nothing after the time-out, a failed wait or a woken `wakeup`; an empty
    // datagram is a Datagram of length 0.
    virtual Receipt Receive(std::chrono::milliseconds timeout, Datagram& datagram,
                            std::span<char> buffer, const IWakeup* wakeup = nullptr) = 0;
};

class IDatagrams {
public:
    virtual ~IDatagrams() = default;
    // An unbound socket for sending; null when none can be made.
    virtual std::unique_ptr<IUdpSocket> Open() = 0;
    // A socket bound to `port` on every local address, whose receipts tell the destination and
    // the arrival interface; null with `error` set when it cannot be bound.
    virtual std::unique_ptr<IUdpSocket> Bind(std::uint16_t port, std::error_code& error) = 0;
    // Null when none can be made; waits given none are ended by their time-out alone.
    virtual std::unique_ptr<IWakeup> MakeWakeup() = 0;
    // True when `datagram` came as a broadcast from another host on the LAN of the interface
    // that took it: addressed to 255.255.255.255 or to the broadcast address of one of that
    // interface's subnets, from a sender inside that subnet that is none of this host's own
    // addresses (any local user can send from those). The interfaces are kept from an earlier
    // call while they have not changed.
    virtual bool IsLanBroadcast(const Datagram& datagram) = 0;
};

}  // namespace vorta::platform
