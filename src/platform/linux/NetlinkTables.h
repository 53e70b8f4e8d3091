#pragma once
#include "platform/linux/Guard.h"
// The network tables through rtnetlink (libnl-route-3), with the DHCP and DNS facts that the
// kernel does not hold read from the DHCP clients' and resolvers' own files.

#include <filesystem>

#include "platform/NetworkTables.h"

namespace vorta::platform {

// The route protocol number that marks the host routes of this client (`ip route` shows
// "proto 216"): a later run knows the leftovers of a killed one by it, and a removal never
// matches another program's route. No routing daemon or iproute2 table assigns it.
inline constexpr unsigned char kOwnRouteProtocol = 216;

struct NetlinkPaths {
    std::filesystem::path sysClassNet = "/sys/class/net";
    std::filesystem::path networkdLeases = "/run/systemd/netif/leases";
    std::filesystem::path networkdLinks = "/run/systemd/netif/links";
    std::filesystem::path dhclientLeases = "/var/lib/dhcp";
    std::filesystem::path resolvConf = "/etc/resolv.conf";
    std::filesystem::path resolvedConf = "/run/systemd/resolve/resolv.conf";
};

class NetlinkTables : public INetworkTables {
public:
    explicit NetlinkTables(NetlinkPaths paths = {}) : paths_(std::move(paths)) {}

    std::optional<std::vector<LinkInfo>> Links() override;
    std::optional<std::vector<AddressRow>> Addresses() override;
    std::optional<std::vector<RouteRow>> Routes() override;
    std::string AddHostRoute(Ip4 destination, Ip4 gateway, std::uint32_t index,
                             bool replace) override;
    std::string DeleteHostRoute(Ip4 destination, Ip4 gateway, std::uint32_t index) override;

    // The IPv4 name servers of a resolv.conf text, in order.
    static std::vector<Ip4> ParseResolvConf(const std::string& text);
    // Reads KEY=VALUE files such as systemd-networkd's lease and link state files.
    static std::string KeyValue(const std::filesystem::path& file, const std::string& key);

private:
    void AddDhcpFacts(LinkInfo& link, bool dynamicAddress);
    std::vector<Ip4> DnsServersOf(const LinkInfo& link);

    NetlinkPaths paths_;
};

}  // namespace vorta::platform
