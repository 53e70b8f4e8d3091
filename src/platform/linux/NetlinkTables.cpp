#include "platform/linux/NetlinkTables.h"

#include <arpa/inet.h>
#include <linux/if.h>
#include <linux/if_addr.h>
#include <netlink/netlink.h>
#include <netlink/route/addr.h>
#include <netlink/route/link.h>
#include <netlink/route/route.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

namespace vorta::platform {
namespace {

struct SockDeleter {
    void operator()(nl_sock* s) const { nl_socket_free(s); }
};
struct CacheDeleter {
    void operator()(nl_cache* c) const { nl_cache_free(c); }
};
struct RouteDeleter {
    void operator()(rtnl_route* r) const { rtnl_route_put(r); }
};
struct AddrDeleter {
    void operator()(nl_addr* a) const { nl_addr_put(a); }
};
using Sock = std::unique_ptr<nl_sock, SockDeleter>;
using Cache = std::unique_ptr<nl_cache, CacheDeleter>;

Sock Connect() {
    Sock sock(nl_socket_alloc());
    if (!sock || nl_connect(sock.get(), NETLINK_ROUTE) != 0) return nullptr;
    return sock;
}

// Visits every object of a cache in its order.
template <typename T, typename Visit>
void ForEach(nl_cache* cache, Visit visit) {
    for (nl_object* obj = nl_cache_get_first(cache); obj != nullptr; obj = nl_cache_get_next(obj))
        visit(reinterpret_cast<T*>(obj));
}

Ip4 AddressOf(nl_addr* addr) {
    Ip4 value = 0;
    if (addr != nullptr && nl_addr_get_family(addr) == AF_INET && nl_addr_get_len(addr) == 4)
        std::memcpy(&value, nl_addr_get_binary_addr(addr), 4);
    return value;
}

std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<Ip4> ParseList(const std::string& text) {
    std::vector<Ip4> out;
    std::istringstream words(text);
    std::string word;
    while (words >> word)
        if (auto ip = ParseIp4(word)) out.push_back(*ip);
    return out;
}

}  // namespace

std::vector<Ip4> NetlinkTables::ParseResolvConf(const std::string& text) {
    std::vector<Ip4> out;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string key, value;
        if (words >> key >> value && key == "nameserver")
            if (auto ip = ParseIp4(value)) out.push_back(*ip);
    }
    return out;
}

std::string NetlinkTables::KeyValue(const std::filesystem::path& file, const std::string& key) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line))
        if (line.starts_with(key + "=")) return line.substr(key.size() + 1);
    return {};
}

std::optional<std::vector<LinkInfo>> NetlinkTables::Links() {
    Sock sock = Connect();
    nl_cache* raw = nullptr;
    if (!sock || rtnl_link_alloc_cache(sock.get(), AF_UNSPEC, &raw) != 0) return std::nullopt;
    Cache links(raw);
    raw = nullptr;
    if (rtnl_addr_alloc_cache(sock.get(), &raw) != 0) return std::nullopt;
    Cache addresses(raw);

    std::vector<LinkInfo> out;
    ForEach<rtnl_link>(links.get(), [&](rtnl_link* link) {
        if (rtnl_link_get_flags(link) & IFF_LOOPBACK) return;
        LinkInfo info;
        info.name = rtnl_link_get_name(link) ? rtnl_link_get_name(link) : "";
        info.up = (rtnl_link_get_flags(link) & IFF_UP) != 0;
        info.carrier = info.up && (rtnl_link_get_flags(link) & IFF_LOWER_UP) != 0;
        info.pointToPoint = (rtnl_link_get_flags(link) & IFF_POINTOPOINT) != 0;
        info.index = static_cast<std::uint32_t>(rtnl_link_get_ifindex(link));
        info.type = rtnl_link_get_arptype(link);
        info.bytesSent = rtnl_link_get_stat(link, RTNL_LINK_TX_BYTES);
        info.bytesReceived = rtnl_link_get_stat(link, RTNL_LINK_RX_BYTES);
        if (nl_addr* hw = rtnl_link_get_addr(link)) {
            const auto* bytes = static_cast<const std::uint8_t*>(nl_addr_get_binary_addr(hw));
            info.hardwareAddress.assign(bytes, bytes + nl_addr_get_len(hw));
        }
        std::error_code ec;
        const auto driver =
            std::filesystem::read_symlink(paths_.sysClassNet / info.name / "device" / "driver", ec);
        if (!ec)
            info.description = driver.filename().string();
        else if (const char* kind = rtnl_link_get_type(link))
            info.description = kind;

        bool dynamicAddress = false;
        ForEach<rtnl_addr>(addresses.get(), [&](rtnl_addr* addr) {
            if (rtnl_addr_get_family(addr) != AF_INET ||
                static_cast<std::uint32_t>(rtnl_addr_get_ifindex(addr)) != info.index)
                return;
            // An address with a finite lifetime was leased, not configured for good.
            const std::uint32_t valid = rtnl_addr_get_valid_lifetime(addr);
            if (!(rtnl_addr_get_flags(addr) & IFA_F_PERMANENT) && valid != 0xFFFFFFFFu) {
                dynamicAddress = true;
                const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                                     std::chrono::system_clock::now().time_since_epoch())
                                     .count();
                info.leaseExpires = now + valid;
            }
        });
        AddDhcpFacts(info, dynamicAddress);
        info.dnsServers = DnsServersOf(info);
        out.push_back(std::move(info));
    });
    return out;
}

void NetlinkTables::AddDhcpFacts(LinkInfo& link, bool dynamicAddress) {
    link.dhcp = dynamicAddress;
    std::error_code ec;
    const auto networkdLease = paths_.networkdLeases / std::to_string(link.index);
    if (std::filesystem::exists(networkdLease, ec)) {
        link.dhcp = true;
        link.dhcpServers = ParseList(KeyValue(networkdLease, "SERVER_ADDRESS"));
        return;
    }
    const auto dhclientLease = paths_.dhclientLeases / ("dhclient." + link.name + ".leases");
    if (std::filesystem::exists(dhclientLease, ec)) {
        link.dhcp = true;
        // The last lease in the file is the current one.
        std::istringstream lines(ReadText(dhclientLease));
        std::string line;
        while (std::getline(lines, line)) {
            const auto at = line.find("option dhcp-server-identifier ");
            if (at == std::string::npos) continue;
            std::string value = line.substr(at + 30);
            value = value.substr(0, value.find(';'));
            if (auto ip = ParseIp4(value)) link.dhcpServers = {*ip};
        }
    }
}

std::vector<Ip4> NetlinkTables::DnsServersOf(const LinkInfo& link) {
    // Per-link servers where systemd-networkd manages the link, else the resolver's.
    std::vector<Ip4> servers =
        ParseList(KeyValue(paths_.networkdLinks / std::to_string(link.index), "DNS"));
    if (!servers.empty()) return servers;
    servers = ParseResolvConf(ReadText(paths_.resolvConf));
    const auto stub = ParseIp4("127.0.0.53");
    if (servers.size() == 1 && stub && servers[0] == *stub) {
        auto upstream = ParseResolvConf(ReadText(paths_.resolvedConf));
        if (!upstream.empty()) return upstream;
    }
    return servers;
}

std::optional<std::vector<AddressRow>> NetlinkTables::Addresses() {
    Sock sock = Connect();
    nl_cache* raw = nullptr;
    if (!sock || rtnl_addr_alloc_cache(sock.get(), &raw) != 0) return std::nullopt;
    Cache cache(raw);
    std::vector<AddressRow> out;
    ForEach<rtnl_addr>(cache.get(), [&](rtnl_addr* addr) {
        if (rtnl_addr_get_family(addr) != AF_INET) return;
        out.push_back(AddressRow{AddressOf(rtnl_addr_get_local(addr)),
                                 static_cast<std::uint32_t>(rtnl_addr_get_ifindex(addr)),
                                 PrefixToMask(rtnl_addr_get_prefixlen(addr)),
                                 AddressOf(rtnl_addr_get_peer(addr))});
    });
    return out;
}

std::optional<std::vector<RouteRow>> NetlinkTables::Routes() {
    Sock sock = Connect();
    nl_cache* raw = nullptr;
    if (!sock || rtnl_route_alloc_cache(sock.get(), AF_INET, 0, &raw) != 0) return std::nullopt;
    Cache cache(raw);
    std::vector<RouteRow> out;
    ForEach<rtnl_route>(cache.get(), [&](rtnl_route* route) {
        if (rtnl_route_get_table(route) != RT_TABLE_MAIN ||
            rtnl_route_get_type(route) != RTN_UNICAST)
            return;
        nl_addr* dst = rtnl_route_get_dst(route);
        RouteRow row;
        row.destination = AddressOf(dst);
        row.mask = PrefixToMask(dst ? nl_addr_get_prefixlen(dst) : 0);
        row.ours = rtnl_route_get_protocol(route) == kOwnRouteProtocol;
        const int hops = rtnl_route_get_nnexthops(route);
        if (hops == 0) {
            out.push_back(row);
            return;
        }
        // A multipath route leaves by each of its next hops: each interface sees it as its own.
        for (int i = 0; i < hops; ++i) {
            rtnl_nexthop* nh = rtnl_route_nexthop_n(route, i);
            RouteRow hop = row;
            hop.nextHop = AddressOf(rtnl_route_nh_get_gateway(nh));
            hop.index = static_cast<std::uint32_t>(rtnl_route_nh_get_ifindex(nh));
            // A single next hop's flags come in the route's header.
            unsigned flags = rtnl_route_nh_get_flags(nh);
            if (hops == 1) flags |= rtnl_route_get_flags(route);
            hop.linkDown = (flags & RTNH_F_LINKDOWN) != 0;
            out.push_back(hop);
        }
    });
    return out;
}

namespace {

using RoutePtr = std::unique_ptr<rtnl_route, RouteDeleter>;

// The route object of destination/32 through `gateway` (0: the interface itself) on `index`.
RoutePtr HostRoute(Ip4 destination, Ip4 gateway, std::uint32_t index) {
    RoutePtr route(rtnl_route_alloc());
    std::unique_ptr<nl_addr, AddrDeleter> dst(nl_addr_build(AF_INET, &destination, 4));
    rtnl_nexthop* nh = rtnl_route_nh_alloc();
    if (!route || !dst || nh == nullptr) {
        if (nh != nullptr) rtnl_route_nh_free(nh);
        return nullptr;
    }
    nl_addr_set_prefixlen(dst.get(), 32);
    rtnl_route_set_family(route.get(), AF_INET);
    rtnl_route_set_table(route.get(), RT_TABLE_MAIN);
    rtnl_route_set_protocol(route.get(), kOwnRouteProtocol);
    rtnl_route_set_type(route.get(), RTN_UNICAST);
    rtnl_route_set_dst(route.get(), dst.get());
    if (gateway != 0) {
        std::unique_ptr<nl_addr, AddrDeleter> via(nl_addr_build(AF_INET, &gateway, 4));
        if (!via) {
            rtnl_route_nh_free(nh);
            return nullptr;
        }
        rtnl_route_set_scope(route.get(), RT_SCOPE_UNIVERSE);
        rtnl_route_nh_set_gateway(nh, via.get());
    } else {
        rtnl_route_set_scope(route.get(), RT_SCOPE_LINK);
    }
    rtnl_route_nh_set_ifindex(nh, static_cast<int>(index));
    rtnl_route_add_nexthop(route.get(), nh);  // the route owns the next hop from here
    return route;
}

}  // namespace

std::string NetlinkTables::AddHostRoute(Ip4 destination, Ip4 gateway, std::uint32_t index,
                                        bool replace) {
    Sock sock = Connect();
    if (!sock) return "cannot open a netlink socket";
    const RoutePtr route = HostRoute(destination, gateway, index);
    if (!route) return "out of memory";
    const int rc = rtnl_route_add(sock.get(), route.get(),
                                  NLM_F_CREATE | (replace ? NLM_F_REPLACE : NLM_F_EXCL));
    return rc == 0 ? std::string() : std::string(nl_geterror(rc));
}

std::string NetlinkTables::DeleteHostRoute(Ip4 destination, Ip4 gateway, std::uint32_t index) {
    Sock sock = Connect();
    if (!sock) return "cannot open a netlink socket";
    const RoutePtr route = HostRoute(destination, gateway, index);
    if (!route) return "out of memory";
    const int rc = rtnl_route_delete(sock.get(), route.get(), 0);
    return rc == 0 ? std::string() : std::string(nl_geterror(rc));
}

}  // namespace vorta::platform
