#pragma once
// What the client reads from and asks of the kernel's network configuration: interfaces, IPv4
// addresses and routes, and the host route that sends a line's report out through that line.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vorta::platform {

// IPv4 addresses are kept as the address table holds them: network byte order, so that the
// bytes in memory read a, b, c, d for a.b.c.d.
using Ip4 = std::uint32_t;

// Dotted text of an address, and back; nothing for a text that is not one.
std::string Ip4ToText(Ip4 address);
std::optional<Ip4> ParseIp4(const std::string& text);
Ip4 PrefixToMask(unsigned prefixLength);

// The ARP hardware type of a PPP link.
inline constexpr std::uint32_t kArpHardwarePpp = 512;

struct LinkInfo {
    std::string name;  // the interface name, which is also the connection's name
    std::uint32_t index = 0;
    std::uint32_t type = 0;  // the ARP hardware type
    std::vector<std::uint8_t> hardwareAddress;
    std::string description;  // driver or link kind
    bool dhcp = false;        // a DHCP client manages an address of the interface
    std::vector<Ip4> dhcpServers;
    std::vector<Ip4> dnsServers;
    std::int64_t leaseObtained = 0;  // seconds since the epoch, 0 when unknown
    std::int64_t leaseExpires = 0;
    std::uint64_t bytesSent = 0;  // the interface's traffic counters
    std::uint64_t bytesReceived = 0;
    bool up = false;            // administratively up
    bool carrier = false;       // operationally up: the cable is in, the peer answers
    bool pointToPoint = false;  // a link with one peer and no gateway (PPP, tunnels)
};

struct AddressRow {
    Ip4 address = 0;
    std::uint32_t index = 0;
    Ip4 mask = 0;
    Ip4 peer = 0;  // the far end of a point-to-point link, 0 elsewhere
};

// One next hop of a route: a route with several next hops gives a row for each.
struct RouteRow {
    Ip4 destination = 0;
    Ip4 mask = 0;
    Ip4 nextHop = 0;
    std::uint32_t index = 0;
    bool linkDown = false;  // the next hop's interface has lost its carrier
    bool ours = false;      // a host route this client added, in this run or an earlier one
};

// The lines, the update loop and the collector query the tables from several threads at once;
// implementations allow that.
class INetworkTables {
public:
    virtual ~INetworkTables() = default;
    // Each query answers nothing when the kernel cannot be asked. Loopback is left out.
    virtual std::optional<std::vector<LinkInfo>> Links() = 0;
    virtual std::optional<std::vector<AddressRow>> Addresses() = 0;  // in the kernel's order
    virtual std::optional<std::vector<RouteRow>> Routes() = 0;       // the main table
    // Adds the route to destination/32 through `gateway` on interface `index` (gateway 0: through
    // the interface itself, as on a point-to-point link), marked as this client's. Without
    // `replace` an existing route to the destination is left alone and the add fails; with it,
    // the client's own route there makes way (the caller checks that no other program's route
    // is there: the Linux kernel would replace that one too). Returns an empty text on success,
    // else the kernel's refusal in words.
    virtual std::string AddHostRoute(Ip4 destination, Ip4 gateway, std::uint32_t index,
                                     bool replace = false) = 0;
    // Removes exactly that route if it is this client's; an empty text on success.
    virtual std::string DeleteHostRoute(Ip4 destination, Ip4 gateway, std::uint32_t index) = 0;
};

}  // namespace vorta::platform
