#include "lines/IpRoutes.h"

#include <strings.h>

#include "sysinfo/IPHelper.h"

namespace vorta {

std::string TIpRoutes::GetConnectionAdapterName(const std::string& connection) {
    const auto links = tables_.Links();
    if (!links) return {};
    for (const auto& link : *links)
        if (strcasecmp(link.name.c_str(), connection.c_str()) == 0) return link.name;
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

bool TIpRoutes::AddHostRoute(const std::string& entry, const std::string& lineAddress,
                             const std::string& serviceAddress) {
    std::uint32_t index = GetConnectionIfIndex(entry);
    if (index == 0) index = GetIfIndexByAddress(lineAddress);
    if (index == 0) return false;
    platform::Ip4 gateway = 0;
    if (!FindDefaultRoute(index, gateway)) return false;
    RunRouteAdd(serviceAddress, platform::Ip4ToText(gateway), index);
    return true;
}

void TIpRoutes::RunRouteAdd(const std::string& destination, const std::string& gateway,
                            std::uint32_t index) {
    const auto dst = platform::ParseIp4(destination);
    const auto via = platform::ParseIp4(gateway);
    if (!dst || !via) return;
    const std::string error = tables_.AddHostRoute(*dst, *via, index);
    // The outcome does not change what the caller does; a refusal is worth one log line.
    if (!error.empty() && log_ && !refusalLogged_.exchange(true))
        log_("route add " + destination + " mask 255.255.255.255 " + gateway +
             " refused: " + error);
}

}  // namespace vorta
