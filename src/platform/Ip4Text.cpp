// Dotted IPv4 text without the socket headers: an Ip4 holds the address in network byte order,
// so its first byte in memory is the first number of the text.
#include <array>
#include <charconv>
#include <cstring>

#include "platform/NetworkTables.h"

namespace vorta::platform {
namespace {

std::array<unsigned char, 4> BytesOf(Ip4 address) {
    std::array<unsigned char, 4> bytes{};
    std::memcpy(bytes.data(), &address, bytes.size());
    return bytes;
}

Ip4 FromBytes(const std::array<unsigned char, 4>& bytes) {
    Ip4 address = 0;
    std::memcpy(&address, bytes.data(), bytes.size());
    return address;
}

}  // namespace

std::string Ip4ToText(Ip4 address) {
    const auto bytes = BytesOf(address);
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i) text += '.';
        text += std::to_string(bytes[i]);
    }
    return text;
}

// Exactly four decimal numbers of 0..255, no leading zeros, nothing else: what inet_pton takes.
std::optional<Ip4> ParseIp4(const std::string& text) {
    std::array<unsigned char, 4> bytes{};
    const char* at = text.data();
    const char* const end = text.data() + text.size();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i) {
            if (at == end || *at != '.') return std::nullopt;
            ++at;
        }
        if (at == end || *at < '0' || *at > '9') return std::nullopt;
        unsigned value = 0;
        const auto [next, error] = std::from_chars(at, end, value);
        if (error != std::errc() || value > 255 || next - at > 3) return std::nullopt;
        if (*at == '0' && next - at > 1) return std::nullopt;
        bytes[i] = static_cast<unsigned char>(value);
        at = next;
    }
    if (at != end) return std::nullopt;
    return FromBytes(bytes);
}

Ip4 PrefixToMask(unsigned prefixLength) {
    if (prefixLength == 0) return 0;
    const std::uint32_t hostOrder =
        prefixLength >= 32 ? 0xFFFFFFFFu : ~((1u << (32 - prefixLength)) - 1);
    return FromBytes(
        {static_cast<unsigned char>(hostOrder >> 24), static_cast<unsigned char>(hostOrder >> 16),
         static_cast<unsigned char>(hostOrder >> 8), static_cast<unsigned char>(hostOrder)});
}

}  // namespace vorta::platform
