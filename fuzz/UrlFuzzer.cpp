// URL text: split the way a portal form's action is, form-encoded the way a form value is, and
// the host and line-URL helpers the service URLs go through.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "base/Url.h"
#include "protocol/ServiceUrls.h"

namespace vorta {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;  // UrlEncode writes upper-case digits only
}

// Strict form decoding; nothing when the text is not exactly what UrlEncode writes.
std::optional<std::string> UrlDecode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%') {
            if (i + 2 >= text.size()) return std::nullopt;
            const int high = HexValue(text[i + 1]), low = HexValue(text[i + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool IsEncodedChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '+' ||
           c == '%';
}

void CheckRead(const std::string& url) {
    const UrlParts parts = ReadUrl(url);
    // The host never holds what ends or precedes it; a ":" only inside an IPv6 literal.
    FUZZ_CHECK(parts.host.find_first_of("/?#@") == std::string::npos);
    FUZZ_CHECK(parts.host.find(':') == std::string::npos || url.find('[') != std::string::npos);
    // The path is the end of the URL, from the first "/", "?" or "#" after the authority.
    FUZZ_CHECK(parts.path.empty() ||
               std::string_view("/?#").find(parts.path.front()) != std::string_view::npos);
    FUZZ_CHECK(url.ends_with(parts.path));
    FUZZ_CHECK(url.find(parts.host) != std::string::npos);
    // Without a port of its own a web URL has its scheme's.
    for (const char c : parts.scheme) FUZZ_CHECK(!(c >= 'A' && c <= 'Z'));
    if (parts.port.empty()) FUZZ_CHECK(!parts.web());
    if (parts.web() && url.find(':' + parts.port) == std::string::npos)
        FUZZ_CHECK(parts.port == (parts.secure() ? "443" : "80"));

    // The form action reading: a port always, the path left alone when there is none.
    static const std::string kUnset = "\x01unset";
    std::string host, port, path = kUnset;
    try {
        SplitUrl(url, host, port, path);
    } catch (...) {
        fuzz::Fail("SplitUrl threw", __FILE__, __LINE__);
    }
    FUZZ_CHECK(host == parts.host && !port.empty());
    FUZZ_CHECK(path == (parts.path.empty() ? kUnset : parts.path));
}

void CheckEncode(std::string_view text) {
    const std::string encoded = UrlEncode(text);
    for (const char c : encoded) FUZZ_CHECK(IsEncodedChar(c));
    const std::optional<std::string> decoded = UrlDecode(encoded);
    FUZZ_CHECK(decoded && *decoded == text);
}

void CheckServiceUrls(std::string_view url) {
    const std::string host = UrlHost(url);
    FUZZ_CHECK(host.find_first_of("/?#@") == std::string::npos);
    FUZZ_CHECK(url.find(host) != std::string_view::npos);
    if (url.find("://") == std::string_view::npos) FUZZ_CHECK(host.empty());

    const int lineNumber = static_cast<int>(url.size() % 7) - 1;
    const std::string line = FormatLineUrl(url, lineNumber);
    if (!line.empty()) {
        const std::size_t at = url.find("%s");
        FUZZ_CHECK(at != std::string_view::npos);
        FUZZ_CHECK(line == std::string(url.substr(0, at)) + std::to_string(lineNumber) +
                               std::string(url.substr(at + 2)));
        FUZZ_CHECK(line.find('%') == std::string::npos);
    }
}

}  // namespace
}  // namespace vorta

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = vorta::fuzz::AsText(data, size);
    vorta::CheckRead(std::string(text));
    vorta::CheckEncode(text);
    vorta::CheckServiceUrls(text);
    return 0;
}
