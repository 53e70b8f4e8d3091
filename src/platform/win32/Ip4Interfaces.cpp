#include "platform/win32/Ip4Interfaces.h"

// winsock2.h before iphlpapi.h.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
// clang-format on

namespace vorta::platform {
namespace {

std::uint32_t MaskOf(unsigned prefixLength) {
    return prefixLength == 0 ? 0u : prefixLength >= 32 ? 0xFFFFFFFFu : ~0u << (32 - prefixLength);
}

bool BroadcastCapable(const IP_ADAPTER_ADDRESSES& adapter) {
    return adapter.OperStatus == IfOperStatusUp && adapter.IfType != IF_TYPE_SOFTWARE_LOOPBACK &&
           adapter.IfType != IF_TYPE_PPP && adapter.IfType != IF_TYPE_TUNNEL;
}

}  // namespace

std::vector<Ip4Interface> ListIp4Interfaces() {
    constexpr ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST |
                            GAA_FLAG_SKIP_DNS_SERVER | GAA_FLAG_SKIP_FRIENDLY_NAME;
    // 8-byte units keep the records aligned; the list may grow between the calls.
    std::vector<ULONGLONG> buffer;
    ULONG bytes = 16 * 1024;
    ULONG status = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 4 && status == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.assign(bytes / sizeof(ULONGLONG) + 1, 0);
        bytes = static_cast<ULONG>(buffer.size() * sizeof(ULONGLONG));
        status =
            GetAdaptersAddresses(AF_INET, flags, nullptr,
                                 reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &bytes);
    }
    if (status != NO_ERROR) return {};
    std::vector<Ip4Interface> interfaces;
    for (auto* a = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data()); a != nullptr;
         a = a->Next) {
        Ip4Interface entry;
        entry.index = a->IfIndex;
        entry.broadcastCapable = BroadcastCapable(*a);
        for (auto* u = a->FirstUnicastAddress; u != nullptr; u = u->Next) {
            const SOCKADDR* address = u->Address.lpSockaddr;
            if (address == nullptr || address->sa_family != AF_INET) continue;
            const auto* in = reinterpret_cast<const sockaddr_in*>(address);
            entry.subnets.push_back({ntohl(in->sin_addr.s_addr), MaskOf(u->OnLinkPrefixLength), 0});
        }
        if (entry.index != 0 && !entry.subnets.empty()) interfaces.push_back(std::move(entry));
    }
    return interfaces;
}

}  // namespace vorta::platform
