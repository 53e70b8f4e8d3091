#include "lines/IpRoutes.h"

#include "base/AsciiText.h"
#include "base/Translate.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>

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

// The link with `index`; null when the table has none.
const platform::LinkInfo* LinkAt(const std::vector<platform::LinkInfo>& links,
                                 std::uint32_t index) {
    const auto found = std::find_if(links.begin(), links.end(),
                                    [&](const auto& link) { return link.index == index; });
    return found == links.end() ? nullptr : &*found;
}

std::string NameOf(std::uint32_t index, const std::vector<platform::LinkInfo>& links) {
    const platform::LinkInfo* link = LinkAt(links, index);
    return link != nullptr ? link->name : Fill(Tr("interface {}"), {std::to_string(index)});
}

std::string OwnerKey(const std::string& entry) {
    std::string key = entry;
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return key;
}

}  // namespace

namespace {

// Why `address` cannot be the service's (or, with `portal`, a portal's); empty when it can.
std::string UnusableAddress(platform::Ip4 address, const std::vector<platform::AddressRow>& own,
                            const std::vector<platform::LinkInfo>& names, bool loopbackAllowed,
                            bool portal) {
    const std::string text = platform::Ip4ToText(address);
    const auto say = [&](const char* service, const char* ofPortal) {
        return Fill(Tr(portal ? ofPortal : service), {text});
    };
    const std::uint32_t a = HostOrder(address);
    const bool loopback = InBlock(a, 0x7F000000u, 8);
    if (InBlock(a, 0, 8))
        return say(TrMark("service address {} is no host address"),
                   TrMark("portal address {} is no host address"));
    if (loopback && !loopbackAllowed)
        return say(TrMark("service address {} is a loopback address"),
                   TrMark("portal address {} is a loopback address"));
    if (InBlock(a, 0xA9FE0000u, 16))
        return say(TrMark("service address {} is a link-local address"),
                   TrMark("portal address {} is a link-local address"));
    if (InBlock(a, 0xE0000000u, 4))
        return say(TrMark("service address {} is a multicast address"),
                   TrMark("portal address {} is a multicast address"));
    if (a == 0xFFFFFFFFu)
        return say(TrMark("service address {} is the broadcast address"),
                   TrMark("portal address {} is the broadcast address"));
    for (const auto& row : own) {
        if (row.mask == 0 || (loopbackAllowed && InBlock(HostOrder(row.address), 0x7F000000u, 8)))
            continue;
        if ((address & row.mask) == (row.address & row.mask))
            return Fill(Tr(portal ? TrMark("portal address {} lies in the subnet of {}")
                                  : TrMark("service address {} lies in the subnet of {}")),
                        {text, NameOf(row.index, names)});
    }
    return {};
}

}  // namespace

std::string UnusableServiceAddress(platform::Ip4 address,
                                   const std::vector<platform::AddressRow>& own,
                                   const std::vector<platform::LinkInfo>& names,
                                   bool loopbackAllowed) {
    return UnusableAddress(address, own, names, loopbackAllowed, false);
}

std::string UnusablePortalAddress(platform::Ip4 address,
                                  const std::vector<platform::AddressRow>& own,
                                  const std::vector<platform::LinkInfo>& names,
                                  bool loopbackAllowed) {
    std::string why = UnusableAddress(address, own, names, loopbackAllowed, true);
    if (!why.empty()) return why;
    const std::uint32_t a = HostOrder(address);
    if (InBlock(a, 0x0A000000u, 8) || InBlock(a, 0xAC100000u, 12) || InBlock(a, 0xC0A80000u, 16))
        return Fill(Tr("portal address {} is a private address beyond the line's own network"),
                    {platform::Ip4ToText(address)});
    if (InBlock(a, 0x64400000u, 10))
        return Fill(Tr("portal address {} is a shared address beyond the line's own network"),
                    {platform::Ip4ToText(address)});
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

std::vector<std::string> TIpRoutes::InterfaceStates(const std::vector<std::string>& connections) {
    std::vector<std::uint32_t> indexes;
    indexes.reserve(connections.size());
    for (const std::string& connection : connections)
        indexes.push_back(GetConnectionIfIndex(connection));
    const auto links = tables_.Links();
    const auto addresses = tables_.Addresses();
    const auto routes = tables_.Routes();
    std::vector<std::string> states;
    states.reserve(connections.size());
    for (const std::uint32_t index : indexes) {
        std::string state;
        const platform::LinkInfo* link = links && index != 0 ? LinkAt(*links, index) : nullptr;
        if (link != nullptr) {
            state = std::to_string(index) + (link->up ? " up" : " down") +
                    (link->carrier ? " carrier" : " no-carrier");
            // The kernel's order: a promoted secondary address changes the state too.
            for (const auto& row : addresses.value_or(std::vector<platform::AddressRow>{}))
                if (row.index == index)
                    state += " " + platform::Ip4ToText(row.address) + "/" +
                             platform::Ip4ToText(row.mask);
            for (const auto& row : routes.value_or(std::vector<platform::RouteRow>{}))
                if (row.index == index &&
                    static_cast<std::uint32_t>(row.destination + row.mask) == 0)
                    state += " via " + platform::Ip4ToText(row.nextHop) +
                             (row.linkDown ? " linkdown" : "");
        }
        states.push_back(std::move(state));
    }
    return states;
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

TIpRoutes::DefaultRoute TIpRoutes::FindDefaultRoute(std::uint32_t index, platform::Ip4& gateway) {
    const auto routes = tables_.Routes();
    if (!routes) return DefaultRoute::Unreadable;
    DefaultRoute found = DefaultRoute::None;
    for (const auto& row : *routes) {
        if (static_cast<std::uint32_t>(row.destination + row.mask) != 0 || row.index != index)
            continue;
        if (row.linkDown) {
            found = DefaultRoute::LinkDown;
            continue;
        }
        gateway = row.nextHop;
        return DefaultRoute::Found;
    }
    return found;
}

bool TIpRoutes::HasDefaultRoute(const std::string& connection) {
    return WhyNotUp(connection).empty();
}

std::string TIpRoutes::WhyNotUp(const std::string& entry) {
    const std::uint32_t index = GetConnectionIfIndex(entry);
    if (index == 0) return Fill(Tr("no interface for {}"), {entry});
    const auto links = tables_.Links();
    if (!links) return Tr("the network tables cannot be read");
    const platform::LinkInfo* link = LinkAt(*links, index);
    if (link == nullptr) return Fill(Tr("no interface for {}"), {entry});
    if (!link->up) return Fill(Tr("{} is down"), {link->name});
    // A pulled cable leaves the interface up and, on Linux, its default route in the table.
    if (!link->carrier) return Fill(Tr("{} has no carrier"), {link->name});
    platform::Ip4 gateway = 0;
    switch (FindDefaultRoute(index, gateway)) {
        case DefaultRoute::Found:
            return {};
        case DefaultRoute::LinkDown:
            return Fill(Tr("{} has no carrier"), {link->name});
        case DefaultRoute::Unreadable:
            return Tr("the route table cannot be read");
        case DefaultRoute::None:
            break;
    }
    return Fill(Tr("no route on {}"), {link->name});
}

std::string TIpRoutes::FindLine(const std::string& entry, const std::string& lineAddress,
                                LineWay& way) {
    way.index = GetConnectionIfIndex(entry);
    if (way.index == 0) way.index = GetIfIndexByAddress(lineAddress);
    if (way.index == 0) return Fill(Tr("no interface for {}"), {entry});
    auto links = tables_.Links();
    auto addresses = tables_.Addresses();
    if (!links || !addresses) return Tr("the network tables cannot be read");
    const platform::LinkInfo* link = LinkAt(*links, way.index);
    if (link == nullptr) return Fill(Tr("no interface for {}"), {entry});
    way.link = *link;
    way.links = std::move(*links);
    way.addresses = std::move(*addresses);
    return {};
}

std::string TIpRoutes::RouteThrough(const LineWay& way, platform::Ip4 destination,
                                    const std::string& owner, bool portal) {
    const std::uint32_t index = way.index;
    if (!way.link.up) return Fill(Tr("{} is down"), {way.link.name});
    if (!way.link.carrier) return Fill(Tr("{} has no carrier"), {way.link.name});
    // A point-to-point link has no gateway: pppd adds no default route while another line holds
    // one, and the link itself is the way out as soon as it has its own address.
    const bool hasAddress = std::any_of(way.addresses.begin(), way.addresses.end(),
                                        [&](const auto& row) { return row.index == index; });
    const bool pointToPoint =
        way.link.pointToPoint || way.link.type == platform::kArpHardwarePpp ||
        std::any_of(way.addresses.begin(), way.addresses.end(),
                    [&](const auto& row) { return row.index == index && row.peer != 0; });
    platform::Ip4 gateway = 0;
    const DefaultRoute found = FindDefaultRoute(index, gateway);
    if (found != DefaultRoute::Found && !(pointToPoint && hasAddress))
        return Fill(
            found == DefaultRoute::LinkDown ? Tr("{} has no carrier") : Tr("no route on {}"),
            {way.link.name});
    return RunRouteAdd(destination, gateway, index, owner, portal);
}

TRouteResult TIpRoutes::AddHostRoute(const std::string& entry, const std::string& lineAddress,
                                     const std::string& serviceAddress) {
    TRouteResult result;
    const auto service = platform::ParseIp4(serviceAddress);
    if (!service) {
        result.reason = Fill(Tr("service address {} is no IPv4 address"), {serviceAddress});
        return result;
    }
    LineWay way;
    if (std::string why = FindLine(entry, lineAddress, way); !why.empty()) {
        result.reason = std::move(why);
        return result;
    }
    result.interface = way.link.name;
    result.reason =
        UnusableServiceAddress(*service, way.addresses, way.links, options_.loopbackAllowed);
    if (result.reason.empty()) result.reason = RouteThrough(way, *service, OwnerKey(entry), false);
    result.ok = result.reason.empty();
    return result;
}

TRouteResult TIpRoutes::PortalRoute(const std::string& entry, const std::string& lineAddress,
                                    const std::string& address) {
    TRouteResult result;
    const auto target = platform::ParseIp4(address);
    if (!target) {
        result.reason = Fill(Tr("portal address {} is no IPv4 address"), {address});
        return result;
    }
    LineWay way;
    if (std::string why = FindLine(entry, lineAddress, way); !why.empty()) {
        result.reason = std::move(why);
        return result;
    }
    result.interface = way.link.name;
    if (!way.link.up) {
        result.reason = Fill(Tr("{} is down"), {way.link.name});
        return result;
    }
    // The line's own network is reached on the line's interface as it is.
    const bool ownSubnet =
        std::any_of(way.addresses.begin(), way.addresses.end(), [&](const auto& row) {
            return row.index == way.index && row.mask != 0 &&
                   (*target & row.mask) == (row.address & row.mask);
        });
    if (ownSubnet) {
        result.ok = true;
        return result;
    }
    result.reason =
        UnusablePortalAddress(*target, way.addresses, way.links, options_.loopbackAllowed);
    if (result.reason.empty()) {
        const std::string owner = OwnerKey(entry);
        std::lock_guard guard(lock_);
        const std::size_t held = std::count_if(owned_.begin(), owned_.end(), [&](const auto& o) {
            return o.second.portal && o.second.owner == owner && o.first != *target;
        });
        if (held >= kMaxPortalRoutes)
            result.reason = Fill(Tr("the portal of {} asks for more than {} routes"),
                                 {way.link.name, std::to_string(kMaxPortalRoutes)});
    }
    if (result.reason.empty()) result.reason = RouteThrough(way, *target, OwnerKey(entry), true);
    result.ok = result.reason.empty();
    return result;
}

std::string TIpRoutes::RunRouteAdd(platform::Ip4 destination, platform::Ip4 gateway,
                                   std::uint32_t index, const std::string& owner, bool portal) {
    std::lock_guard guard(lock_);
    const auto routes = tables_.Routes();
    if (!routes) return Tr("the route table cannot be read");
    std::vector<platform::RouteRow> there;
    std::copy_if(routes->begin(), routes->end(), std::back_inserter(there), [&](const auto& row) {
        return row.destination == destination && row.mask == 0xFFFFFFFFu;
    });
    const auto ours = owned_.find(destination);
    const auto same = std::find_if(there.begin(), there.end(), [&](const auto& row) {
        return row.nextHop == gateway && row.index == index;
    });
    if (same != there.end()) {
        // One of ours, this run's or a killed run's, now serves `owner`; another program's
        // identical route is used as it is and stays when the client goes.
        if (same->ours) {
            // A report's route stays one; a logon's becomes a report's when a report needs it.
            const bool known = ours != owned_.end() && ours->second.owner == owner;
            const bool stays = known && !ours->second.portal ? false : portal;
            owned_[destination] = Owned{gateway, index, owner, stays};
        } else if (ours != owned_.end())
            owned_.erase(ours);
        return {};
    }
    // Only routes with this client's mark may be moved to another gateway or line.
    if (std::any_of(there.begin(), there.end(), [](const auto& row) { return !row.ours; })) {
        if (ours != owned_.end()) owned_.erase(ours);
        return Fill(Tr("a route to {} that this client did not add is in the way"),
                    {platform::Ip4ToText(destination)});
    }
    const std::string error = tables_.AddHostRoute(destination, gateway, index, !there.empty());
    if (!error.empty()) return Fill(Tr("route refused: {}"), {error});
    owned_[destination] = Owned{gateway, index, owner, portal};
    return {};
}

std::size_t TIpRoutes::RemoveLeftovers() {
    std::lock_guard guard(lock_);
    const auto routes = tables_.Routes();
    if (!routes) return 0;
    std::size_t removed = 0;
    for (const auto& row : *routes) {
        if (!row.ours || row.mask != 0xFFFFFFFFu) continue;
        const auto mine = owned_.find(row.destination);
        if (mine != owned_.end() && mine->second.gateway == row.nextHop &&
            mine->second.index == row.index)
            continue;
        if (tables_.DeleteHostRoute(row.destination, row.nextHop, row.index).empty()) ++removed;
    }
    return removed;
}

template <typename Predicate>
void TIpRoutes::RemoveOwnedIf(Predicate remove) {
    std::lock_guard guard(lock_);
    for (auto it = owned_.begin(); it != owned_.end();) {
        if (!remove(it->second)) {
            ++it;
            continue;
        }
        tables_.DeleteHostRoute(it->first, it->second.gateway, it->second.index);
        it = owned_.erase(it);
    }
}

void TIpRoutes::RemoveHostRoutes(const std::string& entry) {
    const std::string owner = OwnerKey(entry);
    RemoveOwnedIf([&](const Owned& route) { return route.owner == owner; });
}

void TIpRoutes::RemovePortalRoutes(const std::string& entry) {
    const std::string owner = OwnerKey(entry);
    RemoveOwnedIf([&](const Owned& route) { return route.portal && route.owner == owner; });
}

void TIpRoutes::KeepHostRoutesOf(const std::vector<std::string>& entries) {
    std::vector<std::string> keep;
    for (const auto& entry : entries) keep.push_back(OwnerKey(entry));
    RemoveOwnedIf([&](const Owned& route) {
        return std::find(keep.begin(), keep.end(), route.owner) == keep.end();
    });
}

void TIpRoutes::RemoveAllHostRoutes() {
    RemoveOwnedIf([](const Owned&) { return true; });
}

}  // namespace vorta
