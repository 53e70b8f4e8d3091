#include <arpa/inet.h>

#include "platform/NetworkTables.h"

namespace vorta::platform {

std::string Ip4ToText(Ip4 address) {
    char text[INET_ADDRSTRLEN] = {};
    in_addr in{};
    in.s_addr = address;
    return inet_ntop(AF_INET, &in, text, sizeof text) ? text : "";
}

std::optional<Ip4> ParseIp4(const std::string& text) {
    in_addr in{};
    if (inet_pton(AF_INET, text.c_str(), &in) != 1) return std::nullopt;
    return in.s_addr;
}

Ip4 PrefixToMask(unsigned prefixLength) {
    if (prefixLength == 0) return 0;
    if (prefixLength >= 32) return 0xFFFFFFFFu;
    return htonl(~((1u << (32 - prefixLength)) - 1));
}

}  // namespace vorta::platform
