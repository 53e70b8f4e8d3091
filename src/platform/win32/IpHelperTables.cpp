#include "platform/win32/IpHelperTables.h"

#include <algorithm>

#include "platform/win32/IpHelperBuffer.h"
#include "platform/win32/SystemErrorText.h"
#include "platform/win32/WideText.h"

namespace vorta::platform {
namespace {

constexpr Ip4 kHostMask = 0xFFFFFFFFu;

// The first byte in memory is the first number of the dotted text.
std::uint8_t FirstByte(Ip4 address) {
    return reinterpret_cast<const std::uint8_t*>(&address)[0];
}

bool IsLoopbackAddress(Ip4 address) {
    return FirstByte(address) == 127;
}

bool IsMulticast(Ip4 address) {
    return (FirstByte(address) & 0xF0) == 0xE0;
}

// The interfaces that hold a loopback address.
std::vector<DWORD> LoopbackIndices(const std::vector<MIB_IPADDRROW>& addresses) {
    std::vector<DWORD> out;
    for (const auto& row : addresses)
        if (IsLoopbackAddress(row.dwAddr)) out.push_back(row.dwIndex);
    return out;
}

bool Contains(const std::vector<DWORD>& list, DWORD value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

// Routes Linux keeps out of its main table: to the host's own addresses, to broadcast
// addresses and to multicast groups.
bool IsLocalOrBroadcast(const MIB_IPFORWARDROW& row, const std::vector<MIB_IPADDRROW>& addresses) {
    if (IsMulticast(row.dwForwardDest)) return true;
    if (row.dwForwardMask != kHostMask) return false;
    if (row.dwForwardDest == kHostMask) return true;
    return std::any_of(addresses.begin(), addresses.end(), [&](const MIB_IPADDRROW& own) {
        return row.dwForwardDest == own.dwAddr ||
               (own.dwMask != kHostMask && row.dwForwardDest == (own.dwAddr | ~own.dwMask));
    });
}

}  // namespace

IpHelperTables::IpHelperTables(const wchar_t* library)
    : library_(library), module_(LoadSystemLibrary(library)) {
    HMODULE m = module_.get();
    api_.adaptersAddresses =
        EntryPoint<decltype(api_.adaptersAddresses)>(m, "GetAdaptersAddresses");
    api_.adaptersInfo = EntryPoint<decltype(api_.adaptersInfo)>(m, "GetAdaptersInfo");
    api_.ipAddrTable = EntryPoint<decltype(api_.ipAddrTable)>(m, "GetIpAddrTable");
    api_.ipForwardTable = EntryPoint<decltype(api_.ipForwardTable)>(m, "GetIpForwardTable");
    api_.createRoute = EntryPoint<decltype(api_.createRoute)>(m, "CreateIpForwardEntry");
    api_.deleteRoute = EntryPoint<decltype(api_.deleteRoute)>(m, "DeleteIpForwardEntry");
    api_.ifEntry2 = EntryPoint<decltype(api_.ifEntry2)>(m, "GetIfEntry2");
    api_.initInterface = EntryPoint<decltype(api_.initInterface)>(m, "InitializeIpInterfaceEntry");
    api_.ipInterface = EntryPoint<decltype(api_.ipInterface)>(m, "GetIpInterfaceEntry");
}

std::string IpHelperTables::Unavailable() const {
    return "the IP Helper library (" + ToUtf8(library_) + ") is not available";
}

std::optional<std::vector<MIB_IPADDRROW>> IpHelperTables::RawAddresses() {
    if (!api_.ipAddrTable) return std::nullopt;
    const auto buffer = FetchTable([this](void* data, ULONG* size) {
        return api_.ipAddrTable(static_cast<MIB_IPADDRTABLE*>(data), size, TRUE);
    });
    if (!buffer) return std::nullopt;
    if (buffer->empty()) return std::vector<MIB_IPADDRROW>{};
    const auto* table = reinterpret_cast<const MIB_IPADDRTABLE*>(buffer->data());
    return std::vector<MIB_IPADDRROW>(table->table, table->table + table->dwNumEntries);
}

std::optional<std::vector<MIB_IPFORWARDROW>> IpHelperTables::RawRoutes() {
    if (!api_.ipForwardTable) return std::nullopt;
    const auto buffer = FetchTable([this](void* data, ULONG* size) {
        return api_.ipForwardTable(static_cast<MIB_IPFORWARDTABLE*>(data), size, TRUE);
    });
    if (!buffer) return std::nullopt;
    if (buffer->empty()) return std::vector<MIB_IPFORWARDROW>{};
    const auto* table = reinterpret_cast<const MIB_IPFORWARDTABLE*>(buffer->data());
    return std::vector<MIB_IPFORWARDROW>(table->table, table->table + table->dwNumEntries);
}

std::optional<std::vector<AddressRow>> IpHelperTables::Addresses() {
    const auto raw = RawAddresses();
    if (!raw) return std::nullopt;
    const auto loopback = LoopbackIndices(*raw);
    std::vector<AddressRow> out;
    for (const auto& row : *raw)
        if (!Contains(loopback, row.dwIndex))
            out.push_back({row.dwAddr, row.dwIndex, row.dwMask, 0});
    return out;
}

RouteRow IpHelperTables::ToRouteRow(const MIB_IPFORWARDROW& raw,
                                    const std::vector<MIB_IPADDRROW>& addresses) {
    RouteRow row{raw.dwForwardDest, raw.dwForwardMask, raw.dwForwardNextHop, raw.dwForwardIfIndex};
    // The system names an on-link route's next hop by the interface's own address.
    const bool own = std::any_of(addresses.begin(), addresses.end(), [&](const auto& a) {
        return a.dwIndex == raw.dwForwardIfIndex && a.dwAddr == raw.dwForwardNextHop;
    });
    if (own || raw.dwForwardType == MIB_IPROUTE_TYPE_DIRECT) row.nextHop = 0;
    return row;
}

std::optional<std::vector<RouteRow>> IpHelperTables::Routes() {
    const auto addresses = RawAddresses();
    const auto raw = addresses ? RawRoutes() : std::nullopt;
    if (!raw) return std::nullopt;
    const auto loopback = LoopbackIndices(*addresses);
    std::vector<RouteRow> out;
    for (const auto& route : *raw)
        if (!Contains(loopback, route.dwForwardIfIndex) && !IsLocalOrBroadcast(route, *addresses))
            out.push_back(ToRouteRow(route, *addresses));
    return out;
}

DWORD IpHelperTables::InterfaceMetric(std::uint32_t index) {
    // The system refuses a route whose metric is below the interface's.
    if (api_.initInterface && api_.ipInterface) {
        MIB_IPINTERFACE_ROW row;
        api_.initInterface(&row);
        row.Family = AF_INET;
        row.InterfaceIndex = index;
        if (api_.ipInterface(&row) == NO_ERROR) return row.Metric;
    }
    return 1;
}

std::string IpHelperTables::AddHostRoute(Ip4 destination, Ip4 gateway, std::uint32_t index,
                                         bool replace) {
    if (!api_.createRoute || !api_.deleteRoute) return Unavailable();
    std::lock_guard guard(changes_);
    const auto addresses = RawAddresses();
    const auto routes = addresses ? RawRoutes() : std::nullopt;
    if (!routes) return "the route table cannot be read";
    std::vector<MIB_IPFORWARDROW> existing;
    for (const auto& row : *routes)
        if (row.dwForwardDest == destination && row.dwForwardMask == kHostMask)
            existing.push_back(row);
    if (!existing.empty() && !replace)
        return "a route to " + Ip4ToText(destination) + " already exists";

    MIB_IPFORWARDROW row{};
    row.dwForwardDest = destination;
    row.dwForwardMask = kHostMask;
    row.dwForwardNextHop = gateway;
    if (gateway == 0) {
        // An on-link route goes to the interface's own address.
        for (const auto& own : *addresses)
            if (own.dwIndex == index) {
                row.dwForwardNextHop = own.dwAddr;
                break;
            }
    }
    row.dwForwardIfIndex = index;
    row.dwForwardType = gateway == 0 ? MIB_IPROUTE_TYPE_DIRECT : MIB_IPROUTE_TYPE_INDIRECT;
    row.dwForwardProto = MIB_IPPROTO_NETMGMT;
    row.dwForwardMetric1 = InterfaceMetric(index);
    row.dwForwardMetric2 = row.dwForwardMetric3 = row.dwForwardMetric4 = row.dwForwardMetric5 =
        MIB_IPROUTE_METRIC_UNUSED;

    std::vector<MIB_IPFORWARDROW> removed;
    for (auto& old : existing) {
        if (const DWORD rc = api_.deleteRoute(&old); rc != NO_ERROR) {
            for (auto& back : removed) api_.createRoute(&back);
            return "the route to " + Ip4ToText(destination) +
                   " cannot be replaced: " + SystemErrorText(rc);
        }
        removed.push_back(old);
    }
    if (const DWORD rc = api_.createRoute(&row); rc != NO_ERROR) {
        for (auto& back : removed) api_.createRoute(&back);  // the old way out, rather than none
        return SystemErrorText(rc);
    }
    // Some systems answer success without changing anything.
    const auto after = RawRoutes();
    const bool present = after && std::any_of(after->begin(), after->end(), [&](const auto& r) {
                             return r.dwForwardDest == destination &&
                                    r.dwForwardMask == kHostMask && r.dwForwardIfIndex == index;
                         });
    if (!present) return "the system accepted the route but did not add it";
    return {};
}

std::string IpHelperTables::DeleteHostRoute(Ip4 destination, Ip4 gateway, std::uint32_t index) {
    if (!api_.deleteRoute) return Unavailable();
    std::lock_guard guard(changes_);
    const auto addresses = RawAddresses();
    const auto routes = addresses ? RawRoutes() : std::nullopt;
    if (!routes) return "the route table cannot be read";
    const auto matches = [&](const MIB_IPFORWARDROW& raw) {
        const RouteRow row = ToRouteRow(raw, *addresses);
        return row.destination == destination && row.mask == kHostMask && row.index == index &&
               row.nextHop == gateway;
    };
    const auto found = std::find_if(routes->begin(), routes->end(), matches);
    if (found == routes->end()) return "there is no such route to " + Ip4ToText(destination);
    MIB_IPFORWARDROW row = *found;
    if (const DWORD rc = api_.deleteRoute(&row); rc != NO_ERROR) return SystemErrorText(rc);
    const auto after = RawRoutes();
    if (after && std::any_of(after->begin(), after->end(), matches))
        return "the system accepted the removal but the route is still there";
    return {};
}

}  // namespace vorta::platform
