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

void CheckSplit(const std::string& url) {
    static const std::string kUnset = "\x01unset";
    std::string host, port, path = kUnset;
    try {
        SplitUrl(url, host, port, path);
    } catch (...) {
        fuzz::Fail("SplitUrl threw", __FILE__, __LINE__);
    }
    FUZZ_CHECK(host.find_first_of("/:") == std::string::npos);
    FUZZ_CHECK(path == kUnset || path.front() == '/');
    const std::string tail = path == kUnset ? "" : path;

    // A leading "http://" (any letter case) is dropped and the rest split at its first "/",
    // then at the first ":" before that. With "http://" only further in, what is kept is still
    // the end of the URL.
    std::string lower = url;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (lower.find("http://") != std::string::npos && !lower.starts_with("http://")) {
        FUZZ_CHECK(url.ends_with(host + ":" + port + tail) || url.ends_with(host + tail));
        return;
    }
    const std::string rest = lower.starts_with("http://") ? url.substr(7) : url;
    const bool hasPort = rest.substr(0, rest.find('/')).find(':') != std::string::npos;
    if (!hasPort) FUZZ_CHECK(port == "80");
    FUZZ_CHECK((path == kUnset) == (rest.find('/') == std::string::npos));
    FUZZ_CHECK(host + (hasPort ? ":" + port : "") + tail == rest);
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
    vorta::CheckSplit(std::string(text));
    vorta::CheckEncode(text);
    vorta::CheckServiceUrls(text);
    return 0;
}
