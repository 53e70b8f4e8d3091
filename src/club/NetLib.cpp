#include "club/NetLib.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <stdexcept>

namespace vorta {

std::string UrlEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        // Only ASCII counts: isalnum would follow the locale for bytes above 127.
        const bool plain = (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= 'a' && byte <= 'z');
        if (plain) {
            out += c;
        } else if (byte == ' ') {
            out += '+';
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

void SplitUrl(const std::string& url, std::string& host, std::string& port, std::string& path) {
    std::string lower = url;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    // The scheme may appear anywhere; it is the first seven characters that are dropped.
    const std::string rest = lower.find("http://") != std::string::npos ? url.substr(7) : url;

    std::string hostPart = rest;
    if (const auto slash = rest.find('/'); slash != std::string::npos) {
        hostPart = rest.substr(0, slash);
        path = rest.substr(slash);
    }
    if (const auto colon = hostPart.find(':'); colon != std::string::npos) {
        host = hostPart.substr(0, colon);
        port = hostPart.substr(colon + 1);
    } else {
        host = hostPart;
        port = "80";
    }
}

std::vector<std::string> ResolveHost(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (host.empty() || ::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 ||
        found == nullptr)
        throw std::runtime_error("Host Lookup - Could Not Find Host Entry");
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owned(found, &::freeaddrinfo);
    std::vector<std::string> addresses;
    for (const addrinfo* ai = found; ai != nullptr; ai = ai->ai_next) {
        char text[INET_ADDRSTRLEN] = {};
        const auto* in = reinterpret_cast<const sockaddr_in*>(ai->ai_addr);
        if (::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) == nullptr) continue;
        if (std::find(addresses.begin(), addresses.end(), text) == addresses.end())
            addresses.emplace_back(text);
    }
    if (addresses.empty()) throw std::runtime_error("Host Lookup - Could Not Find Host Entry");
    return addresses;
}

}  // namespace vorta
