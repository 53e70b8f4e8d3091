#include "platform/win32/SystemResolver.h"

// winsock2.h before ws2tcpip.h.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
// clang-format on

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "platform/LiteralResolver.h"
#include "platform/NetworkTables.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WinSockSession.h"

namespace vorta::platform {
namespace {

struct AddrInfoFree {
    void operator()(ADDRINFOW* list) const { FreeAddrInfoW(list); }
};

}  // namespace

std::vector<std::string> ResolveHost(const std::string& host) {
    const WinSockSession session;
    ADDRINFOW hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    ADDRINFOW* found = nullptr;
    // The wide entry point: names may be internationalised, and the program's text is UTF-8.
    if (host.empty() || GetAddrInfoW(ToWide(host).c_str(), nullptr, &hints, &found) != 0 ||
        found == nullptr)
        throw std::runtime_error(kHostNotFound);
    const std::unique_ptr<ADDRINFOW, AddrInfoFree> owned(found);
    std::vector<std::string> addresses;
    for (const ADDRINFOW* ai = found; ai != nullptr; ai = ai->ai_next) {
        if (ai->ai_family != AF_INET || ai->ai_addr == nullptr) continue;
        const auto* in = reinterpret_cast<const sockaddr_in*>(ai->ai_addr);
        std::string text = Ip4ToText(in->sin_addr.s_addr);
        if (std::find(addresses.begin(), addresses.end(), text) == addresses.end())
            addresses.push_back(std::move(text));
    }
    if (addresses.empty()) throw std::runtime_error(kHostNotFound);
    return addresses;
}

}  // namespace vorta::platform
