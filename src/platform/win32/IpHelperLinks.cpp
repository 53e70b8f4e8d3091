// The links of IpHelperTables: the adapters of GetAdaptersAddresses, with the lease facts of
// GetAdaptersInfo and the state and counters of GetIfEntry2.
#include <cstddef>

#include "platform/win32/IpHelperBuffer.h"
#include "platform/win32/IpHelperTables.h"
#include "platform/win32/WideText.h"

namespace vorta::platform {
namespace {

constexpr std::uint32_t kArpHardwareEther = 1;
constexpr std::uint32_t kArpHardwareIeee1394 = 24;
constexpr std::uint32_t kArpHardwareTunnel = 768;
constexpr std::uint32_t kArpHardwareNone = 0xFFFE;

std::uint32_t ArpType(IFTYPE type) {
    switch (type) {
        case IF_TYPE_ETHERNET_CSMACD:
        case IF_TYPE_IEEE80211:
            return kArpHardwareEther;
        case IF_TYPE_PPP:
            return kArpHardwarePpp;
        case IF_TYPE_TUNNEL:
            return kArpHardwareTunnel;
        case IF_TYPE_IEEE1394:
            return kArpHardwareIeee1394;
        default:
            return kArpHardwareNone;
    }
}

bool IsPointToPoint(IFTYPE type) {
    return type == IF_TYPE_PPP || type == IF_TYPE_TUNNEL || type == IF_TYPE_SLIP ||
           type == IF_TYPE_PROP_POINT2POINT_SERIAL;
}

std::optional<Ip4> ToIp4(const SOCKET_ADDRESS& address) {
    if (address.lpSockaddr == nullptr || address.lpSockaddr->sa_family != AF_INET ||
        address.iSockaddrLength < static_cast<INT>(sizeof(sockaddr_in)))
        return std::nullopt;
    return reinterpret_cast<const sockaddr_in*>(address.lpSockaddr)->sin_addr.s_addr;
}

// A field that the adapter record of this system version holds.
template <typename Field>
bool Holds(const IP_ADAPTER_ADDRESSES& adapter, const Field& field) {
    const auto end = reinterpret_cast<const std::byte*>(&field) + sizeof field;
    return end <= reinterpret_cast<const std::byte*>(&adapter) + adapter.Length;
}

LinkInfo ToLink(const IP_ADAPTER_ADDRESSES& adapter) {
    LinkInfo link;
    link.name = ToUtf8(adapter.FriendlyName ? adapter.FriendlyName : L"");
    link.index = adapter.IfIndex != 0 ? adapter.IfIndex : adapter.Ipv6IfIndex;
    link.type = ArpType(adapter.IfType);
    link.hardwareAddress.assign(adapter.PhysicalAddress,
                                adapter.PhysicalAddress + adapter.PhysicalAddressLength);
    link.description = ToUtf8(adapter.Description ? adapter.Description : L"");
    link.dhcp = (adapter.Flags & IP_ADAPTER_DHCP_ENABLED) != 0;
    if (link.dhcp && Holds(adapter, adapter.Dhcpv4Server))
        if (const auto server = ToIp4(adapter.Dhcpv4Server); server && *server != 0)
            link.dhcpServers.push_back(*server);
    for (auto* dns = adapter.FirstDnsServerAddress; dns != nullptr; dns = dns->Next)
        if (const auto server = ToIp4(dns->Address)) link.dnsServers.push_back(*server);
    link.up = adapter.OperStatus == IfOperStatusUp;
    link.carrier = link.up;
    link.pointToPoint = IsPointToPoint(adapter.IfType);
    return link;
}

}  // namespace

std::optional<std::vector<LinkInfo>> IpHelperTables::Links() {
    if (!api_.adaptersAddresses) return std::nullopt;
    constexpr ULONG kFlags =
        GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_UNICAST;
    const auto buffer = FetchTable([this](void* data, ULONG* size) {
        return api_.adaptersAddresses(AF_UNSPEC, kFlags, nullptr,
                                      static_cast<IP_ADAPTER_ADDRESSES*>(data), size);
    });
    if (!buffer) return std::nullopt;
    std::vector<LinkInfo> out;
    if (buffer->empty()) return out;
    for (auto* adapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer->data());
         adapter != nullptr; adapter = adapter->Next) {
        if (adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK) continue;
        LinkInfo link = ToLink(*adapter);
        AddInterfaceFacts(link);
        out.push_back(std::move(link));
    }
    AddLeaseFacts(out);
    return out;
}

void IpHelperTables::AddInterfaceFacts(LinkInfo& link) {
    if (!api_.ifEntry2) return;
    MIB_IF_ROW2 row{};
    row.InterfaceIndex = link.index;
    if (api_.ifEntry2(&row) != NO_ERROR) return;
    link.up = row.AdminStatus == NET_IF_ADMIN_STATUS_UP;
    // An adapter without its cable (or its wireless network) is administratively up but not
    // operational.
    link.carrier = link.up && row.OperStatus == IfOperStatusUp;
    link.bytesSent = row.OutOctets;
    link.bytesReceived = row.InOctets;
}

void IpHelperTables::AddLeaseFacts(std::vector<LinkInfo>& links) {
    if (!api_.adaptersInfo) return;
    const auto buffer = FetchTable([this](void* data, ULONG* size) {
        return api_.adaptersInfo(static_cast<IP_ADAPTER_INFO*>(data), size);
    });
    if (!buffer || buffer->empty()) return;
    for (auto* info = reinterpret_cast<const IP_ADAPTER_INFO*>(buffer->data()); info != nullptr;
         info = info->Next) {
        for (auto& link : links) {
            if (link.index != info->Index || !info->DhcpEnabled) continue;
            link.dhcp = true;
            link.leaseObtained = static_cast<std::int64_t>(info->LeaseObtained);
            link.leaseExpires = static_cast<std::int64_t>(info->LeaseExpires);
            const auto server = ParseIp4(info->DhcpServer.IpAddress.String);
            if (link.dhcpServers.empty() && server && *server != 0 && *server != 0xFFFFFFFFu)
                link.dhcpServers.push_back(*server);
        }
    }
}

}  // namespace vorta::platform
