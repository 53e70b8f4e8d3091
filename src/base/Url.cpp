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

void SplitUrl(const std::string& url, std::string& host, std::string& port, std::string& path) {
    // Only a leading scheme is dropped: a path-only form action may carry a URL in its query.
    const bool scheme = AsciiIStartsWith(url, "http://");
    const std::string rest = scheme ? url.substr(7) : url;

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

}  // namespace vorta
