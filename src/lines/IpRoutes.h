#pragma once
// Which interface a line uses, whether it has a default route, and the host route that makes a
// line's address report leave through that line. Connection names are interface names.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/NetworkTables.h"

namespace vorta {

class TIpRoutes {
public:
    using Logger = std::function<void(const std::string&)>;
    explicit TIpRoutes(platform::INetworkTables& tables, Logger log = {})
        : tables_(tables), log_(std::move(log)) {}

    // True when a route request was issued through the line's gateway. A request the kernel
    // refuses (no CAP_NET_ADMIN, say) still counts: the report goes out by the default way.
    bool AddHostRoute(const std::string& entry, const std::string& lineAddress,
                      const std::string& serviceAddress);
    void RunRouteAdd(const std::string& destination, const std::string& gateway,
                     std::uint32_t index = 0);
    bool HasDefaultRoute(const std::string& connection);
    std::uint32_t GetConnectionIfIndex(const std::string& connection);
    std::uint32_t GetIfIndexByAddress(const std::string& address);
    std::string GetConnectionAdapterName(const std::string& connection);
    std::uint32_t GetAdapterIfIndex(const std::string& adapter);

private:
    // The next hop of the first main-table default route on interface `index`.
    bool FindDefaultRoute(std::uint32_t index, platform::Ip4& gateway);

    platform::INetworkTables& tables_;
    Logger log_;
    std::atomic<bool> refusalLogged_{false};
};

}  // namespace vorta
