#pragma once
#include "platform/win32/Guard.h"
// The network tables through the IP Helper library, loaded at run time: without it every query
// answers nothing and every route change is refused with that reason. The host routes this
// client adds are remembered in a file, as route rows carry no owner.

// In this order: the IP Helper header needs the socket types first.
#include <winsock2.h>
// clang-format off
#include <windows.h>
#include <ws2ipdef.h>
#include <iphlpapi.h>
// clang-format on

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/NetworkTables.h"
#include "platform/win32/OwnRouteFile.h"
#include "platform/win32/UniqueModule.h"

namespace vorta::platform {

class IpHelperTables : public INetworkTables {
public:
    // `ownRoutes`: the file of the data dir that lists this client's host routes (empty: this
    // run's are known until it ends). Tests name a library that does not exist.
    explicit IpHelperTables(std::filesystem::path ownRoutes = {},
                            const wchar_t* library = L"iphlpapi.dll");

    std::optional<std::vector<LinkInfo>> Links() override;
    std::optional<std::vector<AddressRow>> Addresses() override;
    std::optional<std::vector<RouteRow>> Routes() override;
    std::string AddHostRoute(Ip4 destination, Ip4 gateway, std::uint32_t index,
                             bool replace) override;
    std::string DeleteHostRoute(Ip4 destination, Ip4 gateway, std::uint32_t index) override;

private:
    struct Api {
        decltype(&::GetAdaptersAddresses) adaptersAddresses = nullptr;
        decltype(&::GetAdaptersInfo) adaptersInfo = nullptr;
        decltype(&::GetIpAddrTable) ipAddrTable = nullptr;
        decltype(&::GetIpForwardTable) ipForwardTable = nullptr;
        decltype(&::CreateIpForwardEntry) createRoute = nullptr;
        decltype(&::DeleteIpForwardEntry) deleteRoute = nullptr;
        decltype(&::GetIfEntry2) ifEntry2 = nullptr;  // Vista and later, like the two below
        decltype(&::InitializeIpInterfaceEntry) initInterface = nullptr;
        decltype(&::GetIpInterfaceEntry) ipInterface = nullptr;
    };
    // The address table as the system gives it, loopback included.
    std::optional<std::vector<MIB_IPADDRROW>> RawAddresses();
    std::optional<std::vector<MIB_IPFORWARDROW>> RawRoutes();
    // A route row in the interface's terms: an on-link route's next hop is 0, as on Linux.
    RouteRow ToRouteRow(const MIB_IPFORWARDROW& raw,
                        const std::vector<MIB_IPADDRROW>& addresses) const;
    void AddLeaseFacts(std::vector<LinkInfo>& links);
    void AddInterfaceFacts(LinkInfo& link);
    DWORD InterfaceMetric(std::uint32_t index);
    std::string Unavailable() const;

    std::wstring library_;
    UniqueModule module_;
    Api api_;
    OwnRouteFile own_;
    std::mutex changes_;  // a replacing add is a delete and an add
};

}  // namespace vorta::platform
