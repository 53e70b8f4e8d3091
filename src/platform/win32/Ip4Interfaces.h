#pragma once
#include "platform/win32/Guard.h"
// The IPv4 interfaces and their subnets as GetAdaptersAddresses lists them.

#include <cstdint>
#include <vector>

namespace vorta::platform {

// One IPv4 address of an interface with its on-link prefix, in host byte order.
struct Ip4Subnet {
    std::uint32_t address = 0;
    std::uint32_t mask = 0;
    bool Holds(std::uint32_t other) const { return (other & mask) == (address & mask); }
};

struct Ip4Interface {
    unsigned index = 0;  // the IPv4 interface index, as IP_PKTINFO reports it
    // Up and on a broadcast medium: not loopback, not a point-to-point link or a tunnel.
    bool broadcastCapable = false;
    std::vector<Ip4Subnet> subnets;
};

// Every interface with IPv4; empty when they cannot be listed.
std::vector<Ip4Interface> ListIp4Interfaces();

}  // namespace vorta::platform
