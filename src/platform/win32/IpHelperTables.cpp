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

IpHelperTables::IpHelperTables(std::filesystem::path ownRoutes, const wchar_t* library)
    : library_(library), module_(LoadSystemLibrary(library)), own_(std::move(ownRoutes)) {
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
    // Rows whose route went meanwhile (the interface was removed, the system restarted) are no
    // longer the client's: a route made later in the same place belongs to whoever made it.
    if (const auto routes = Routes())
        own_.KeepOnly([&](const OwnRouteFile::Row& kept) {
            return std::any_of(routes->begin(), routes->end(), [&](const RouteRow& row) {
                return row.ours &&
                       OwnRouteFile::Row{row.destination, row.nextHop, row.index} == kept;
            });
        });
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
                                    const std::vector<MIB_IPADDRROW>& addresses) const {
    RouteRow row{raw.dwForwardDest, raw.dwForwardMask, raw.dwForwardNextHop, raw.dwForwardIfIndex};
    // The system names an on-link route's next hop by the interface's own address.
    const bool onLink = std::any_of(addresses.begin(), addresses.end(), [&](const auto& a) {
        return a.dwIndex == raw.dwForwardIfIndex && a.dwAddr == raw.dwForwardNextHop;
    });
    if (onLink || raw.dwForwardType == MIB_IPROUTE_TYPE_DIRECT) row.nextHop = 0;
    row.ours = row.mask == kHostMask && own_.Holds({row.destination, row.nextHop, row.index});
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
    // Another program's route to the same address stays: Windows keeps both rows.
    std::vector<MIB_IPFORWARDROW> existing;
    bool foreign = false;
    for (const auto& raw : *routes) {
        if (raw.dwForwardDest != destination || raw.dwForwardMask != kHostMask) continue;
        if (ToRouteRow(raw, *addresses).ours)
            existing.push_back(raw);
        else
            foreign = true;
    }
    if ((foreign || !existing.empty()) && !replace)
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

    // Recorded first: a run killed right after the add still knows the route for its own.
    const OwnRouteFile::Row record{destination, gateway, index};
    const bool recordedBefore = own_.Holds(record);
    if (std::string error = own_.Add(record); !error.empty())
        return "the route cannot be recorded: " + error;
    const auto forget = [&] {
        if (!recordedBefore) own_.Remove(record);
    };
    std::vector<MIB_IPFORWARDROW> removed;
    for (auto& old : existing) {
        if (const DWORD rc = api_.deleteRoute(&old); rc != NO_ERROR) {
            for (auto& back : removed) api_.createRoute(&back);
            forget();
            return "the route to " + Ip4ToText(destination) +
                   " cannot be replaced: " + SystemErrorText(rc);
        }
        removed.push_back(old);
    }
    if (const DWORD rc = api_.createRoute(&row); rc != NO_ERROR) {
        for (auto& back : removed) api_.createRoute(&back);  // the old way out, rather than none
        forget();
        return SystemErrorText(rc);
    }
    for (const auto& old : removed) {
        const RouteRow gone = ToRouteRow(old, *addresses);
        const OwnRouteFile::Row was{gone.destination, gone.nextHop, gone.index};
        if (!(was == record)) own_.Remove(was);
    }
    // Some systems answer success without changing anything.
    const auto after = RawRoutes();
    const bool present = after && std::any_of(after->begin(), after->end(), [&](const auto& r) {
                             return r.dwForwardDest == destination &&
                                    r.dwForwardMask == kHostMask && r.dwForwardIfIndex == index;
                         });
    if (!present) {
        own_.Remove(record);
        return "the system accepted the route but did not add it";
    }
    return {};
}

std::string IpHelperTables::DeleteHostRoute(Ip4 destination, Ip4 gateway, std::uint32_t index) {
    if (!api_.deleteRoute) return Unavailable();
    std::lock_guard guard(changes_);
    const auto addresses = RawAddresses();
    const auto routes = addresses ? RawRoutes() : std::nullopt;
    if (!routes) return "the route table cannot be read";
    // Only the client's own row goes, never another program's to the same place.
    const auto matches = [&](const MIB_IPFORWARDROW& raw) {
        const RouteRow row = ToRouteRow(raw, *addresses);
        return row.ours && row.destination == destination && row.index == index &&
               row.nextHop == gateway;
    };
    const auto found = std::find_if(routes->begin(), routes->end(), matches);
    if (found == routes->end())
        return "there is no route of this client's to " + Ip4ToText(destination);
    MIB_IPFORWARDROW row = *found;
    if (const DWORD rc = api_.deleteRoute(&row); rc != NO_ERROR) return SystemErrorText(rc);
    const auto after = RawRoutes();
    if (after && std::any_of(after->begin(), after->end(), matches))
        return "the system accepted the removal but the route is still there";
    own_.Remove({destination, gateway, index});
    return {};
}

}  // namespace vorta::platform
