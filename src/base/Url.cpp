#include "base/Url.h"

#include "base/AsciiText.h"

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

UrlParts ReadUrl(std::string_view url) {
    UrlParts parts;
    std::string_view rest = url;
    // A scheme is letters, digits, "+", "-" or "." before "://", starting with a letter; a "://"
    // further on (in a query naming another URL) is no scheme.
    if (const std::size_t at = url.find("://"); at != std::string_view::npos && at > 0) {
        const std::string_view scheme = url.substr(0, at);
        bool valid = AsciiIsAlpha(scheme.front());
        for (const char c : scheme)
            valid = valid &&
                    (AsciiIsAlpha(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.');
        if (valid) {
            parts.scheme = AsciiLower(scheme);
            rest = url.substr(at + 3);
        }
    }
    const std::size_t pathAt = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, pathAt);
    if (pathAt != std::string_view::npos) parts.path = std::string(rest.substr(pathAt));
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);

    std::string_view port;
    bool hasPort = false;
    if (authority.starts_with('[')) {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) {
            parts.host = std::string(authority);
        } else {
            parts.host = std::string(authority.substr(1, close - 1));
            const std::string_view after = authority.substr(close + 1);
            hasPort = after.starts_with(':');
            if (hasPort) port = after.substr(1);
        }
    } else {
        const std::size_t colon = authority.find(':');
        parts.host = std::string(authority.substr(0, colon));
        hasPort = colon != std::string_view::npos;
        if (hasPort) port = authority.substr(colon + 1);
    }
    // An empty port, as in "http://h:/", is the scheme's own.
    if (hasPort && !port.empty())
        parts.port = std::string(port);
    else if (parts.scheme.empty() || parts.scheme == "http")
        parts.port = "80";
    else if (parts.scheme == "https")
        parts.port = "443";
    return parts;
}

std::string UrlHost(std::string_view url) {
    const UrlParts parts = ReadUrl(url);
    return parts.scheme.empty() ? std::string() : parts.host;
}

void SplitUrl(const std::string& url, std::string& host, std::string& port, std::string& path) {
    UrlParts parts = ReadUrl(url);
    host = std::move(parts.host);
    port = parts.port.empty() ? "80" : std::move(parts.port);
    if (!parts.path.empty()) path = std::move(parts.path);
}

}  // namespace vorta
