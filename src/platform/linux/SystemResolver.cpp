#include "platform/linux/SystemResolver.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "platform/LiteralResolver.h"

namespace vorta::platform {

std::vector<std::string> ResolveHost(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (host.empty() || ::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 ||
        found == nullptr)
        throw std::runtime_error(kHostNotFound);
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owned(found, &::freeaddrinfo);
    std::vector<std::string> addresses;
    for (const addrinfo* ai = found; ai != nullptr; ai = ai->ai_next) {
        char text[INET_ADDRSTRLEN] = {};
        const auto* in = reinterpret_cast<const sockaddr_in*>(ai->ai_addr);
        if (::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) == nullptr) continue;
        if (std::find(addresses.begin(), addresses.end(), text) == addresses.end())
            addresses.emplace_back(text);
    }
    if (addresses.empty()) throw std::runtime_error(kHostNotFound);
    return addresses;
}

}  // namespace vorta::platform
