#include "lines/IpRoutes.h"

#include "base/AsciiText.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "sysinfo/IPHelper.h"

namespace vorta {
namespace {

// The address as a number with the first octet highest, whatever the host's byte order.
std::uint32_t HostOrder(platform::Ip4 address) {
    unsigned char b[4];
    std::memcpy(b, &address, 4);
    return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3];
}

bool InBlock(std::uint32_t address, std::uint32_t block, unsigned prefix) {
    const std::uint32_t mask = prefix == 0 ? 0 : ~std::uint32_t{0} << (32 - prefix);
    return (address & mask) == block;
}

std::string NameOf(std::uint32_t index, const std::vector<platform::LinkInfo>& links) {
    for (const auto& link : links)
        if (link.index == index) return link.name;
    return "interface " + std::to_string(index);
}

std::string OwnerKey(const std::string& entry) {
    std::string key = entry;
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return key;
}

}  // namespace

std::string UnusableServiceAddress(platform::Ip4 address,
                                   const std::vector<platform::AddressRow>& own,
                                   const std::vector<platform::LinkInfo>& names,
                                   bool loopbackAllowed) {
    const std::uint32_t a = HostOrder(address);
    const std::string text = "service address " + platform::Ip4ToText(address);
    const bool loopback = InBlock(a, 0x7F000000u, 8);
    if (InBlock(a, 0, 8)) return text + " is no host address";
    if (loopback && !loopbackAllowed) return text + " is a loopback address";
    if (InBlock(a, 0xA9FE0000u, 16)) return text + " is a link-local address";
    if (InBlock(a, 0xE0000000u, 4)) return text + " is a multicast address";
    if (a == 0xFFFFFFFFu) return text + " is the broadcast address";
    for (const auto& row : own) {
        if (row.mask == 0 || (loopbackAllowed && InBlock(HostOrder(row.address), 0x7F000000u, 8)))
            continue;
        if ((address & row.mask) == (row.address & row.mask))
            return text + " lies in the subnet of " + NameOf(row.index, names);
    }
    return {};
}

TIpRoutes::~TIpRoutes() {
    RemoveAllHostRoutes();
}

std::string TIpRoutes::GetConnectionAdapterName(const std::string& connection) {
    const auto links = tables_.Links();
    if (!links) return {};
    for (const auto& link : *links)
        if (AsciiIEquals(link.name, connection)) return link.name;
    return {};
}

std::uint32_t TIpRoutes::GetAdapterIfIndex(const std::string& adapter) {
    std::int32_t count = 0;
    TAdaptorRows rows;
    if (GetAdaptors(tables_, count, rows) != 0) return 0;
    for (std::int32_t i = 0; i < count; ++i)
        if (rows[static_cast<std::size_t>(i)].AdapterName == adapter)
            return rows[static_cast<std::size_t>(i)].Index;
    return 0;
}

std::uint32_t TIpRoutes::GetConnectionIfIndex(const std::string& connection) {
    const std::string adapter = GetConnectionAdapterName(connection);
    return adapter.empty() ? 0 : GetAdapterIfIndex(adapter);
}

std::uint32_t TIpRoutes::GetIfIndexByAddress(const std::string& address) {
    if (address.empty()) return 0;
    const auto rows = tables_.Addresses();
    if (!rows) return 0;
    const std::uint32_t wanted = StrToIpAddr(address);
    for (const auto& row : *rows)
        if (row.address == wanted) return row.index;
    return 0;
}

bool TIpRoutes::FindDefaultRoute(std::uint32_t index, platform::Ip4& gateway) {
    const auto routes = tables_.Routes();
    if (!routes) return false;
    for (const auto& row : *routes) {
        if (static_cast<std::uint32_t>(row.destination + row.mask) == 0 && row.index == index) {
            gateway = row.nextHop;
            return true;
        }
    }
    return false;
}

bool TIpRoutes::HasDefaultRoute(const std::string& connection) {
    const std::uint32_t index = GetConnectionIfIndex(connection);
    platform::Ip4 gateway = 0;
    return index != 0 && FindDefaultRoute(index, gateway);
}

TRouteResult TIpRoutes::AddHostRoute(const std::string& entry, const std::string& lineAddress,
                                     const std::string& serviceAddress) {
    TRouteResult result;
    const auto service = platform::ParseIp4(serviceAddress);
    if (!service) {
        result.reason = "service address " + serviceAddress + " is no IPv4 address";
        return result;
    }
    std::uint32_t index = GetConnectionIfIndex(entry);
    if (index == 0) index = GetIfIndexByAddress(lineAddress);
    if (index == 0) {
        result.reason = "no interface for " + entry;
        return result;
    }
    const auto links = tables_.Links();
    const auto addresses = tables_.Addresses();
    if (!links || !addresses) {
        result.reason = "the network tables cannot be read";
        return result;
    }
    const auto link =
        std::find_if(links->begin(), links->end(), [&](const auto& l) { return l.index == index; });
    if (link == links->end()) {
        result.reason = "no interface for " + entry;
        return result;
    }
    result.interface = link->name;
    if (std::string why =
            UnusableServiceAddress(*service, *addresses, *links, options_.loopbackAllowed);
        !why.empty()) {
        result.reason = std::move(why);
        return result;
    }
    if (!link->up) {
        result.reason = link->name + " is down";
        return result;
    }
    // A point-to-point link has no gateway: pppd adds no default route while another line holds
    // one, and the link itself is the way out as soon as it has its own address.
    const bool hasAddress = std::any_of(addresses->begin(), addresses->end(),
                                        [&](const auto& row) { return row.index == index; });
    const bool pointToPoint =
        link->pointToPoint || link->type == platform::kArpHardwarePpp ||
        std::any_of(addresses->begin(), addresses->end(),
                    [&](const auto& row) { return row.index == index && row.peer != 0; });
    platform::Ip4 gateway = 0;
    if (!FindDefaultRoute(index, gateway) && !(pointToPoint && hasAddress)) {
        result.reason = "no route on " + link->name;
        return result;
    }
    result.reason = RunRouteAdd(*service, gateway, index, OwnerKey(entry));
    result.ok = result.reason.empty();
    return result;
}

std::string TIpRoutes::RunRouteAdd(platform::Ip4 destination, platform::Ip4 gateway,
                                   std::uint32_t index, const std::string& owner) {
    std::lock_guard guard(lock_);
    const auto routes = tables_.Routes();
    if (!routes) return "the route table cannot be read";
    const auto existing = std::find_if(routes->begin(), routes->end(), [&](const auto& row) {
        return row.destination == destination && row.mask == 0xFFFFFFFFu;
    });
    const auto ours = owned_.find(destination);
    if (existing != routes->end()) {
        if (existing->nextHop == gateway && existing->index == index) {
            if (ours != owned_.end()) ours->second.owner = owner;
            return {};
        }
        // Only a route this client put there may be moved to another line.
        const bool mine = ours != owned_.end() && ours->second.gateway == existing->nextHop &&
                          ours->second.index == existing->index;
        if (!mine) {
            if (ours != owned_.end()) owned_.erase(ours);
            return "a route to " + platform::Ip4ToText(destination) +
                   " that this client did not add is in the way";
        }
    }
    const std::string error =
        tables_.AddHostRoute(destination, gateway, index, existing != routes->end());
    if (!error.empty()) return "route refused: " + error;
    owned_[destination] = Owned{gateway, index, owner};
    return {};
}

template <typename Predicate>
void TIpRoutes::RemoveOwnedIf(Predicate remove) {
    std::lock_guard guard(lock_);
    for (auto it = owned_.begin(); it != owned_.end();) {
        if (!remove(it->second.owner)) {
            ++it;
            continue;
        }
        tables_.DeleteHostRoute(it->first, it->second.gateway, it->second.index);
        it = owned_.erase(it);
    }
}

void TIpRoutes::RemoveHostRoutes(const std::string& entry) {
    const std::string owner = OwnerKey(entry);
    RemoveOwnedIf([&](const std::string& of) { return of == owner; });
}

void TIpRoutes::KeepHostRoutesOf(const std::vector<std::string>& entries) {
    std::vector<std::string> keep;
    for (const auto& entry : entries) keep.push_back(OwnerKey(entry));
    RemoveOwnedIf([&](const std::string& of) {
        return std::find(keep.begin(), keep.end(), of) == keep.end();
    });
}

void TIpRoutes::RemoveAllHostRoutes() {
    RemoveOwnedIf([](const std::string&) { return true; });
}

}  // namespace vorta
