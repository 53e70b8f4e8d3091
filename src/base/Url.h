#pragma once
// The one reader of URLs, and form encoding, for everything that speaks HTTP.

#include <string>
#include <string_view>

namespace vorta {

// Form encoding, byte by byte: ASCII letters and digits stay, a blank becomes "+", every other
// byte becomes "%XX" with upper-case hex digits. Multi-byte characters are encoded per byte.
std::string UrlEncode(std::string_view text);

struct UrlParts {
    std::string scheme;  // lower-case; empty when the URL names none
    std::string host;    // without user info; an IPv6 literal without its brackets
    std::string port;    // as written, else the scheme's default: "80" (http or none), "443"
    std::string path;    // from the first "/", "?" or "#" on; empty when there is none
    bool secure() const { return scheme == "https"; }
    // http, https, or no scheme at all (read as http).
    bool web() const { return scheme.empty() || scheme == "http" || scheme == "https"; }
};

// Reads "[scheme://][user@]host[:port][path]". A text without "://" is a host and what follows
// it, or a path alone when it starts with "/" (host empty).
UrlParts ReadUrl(std::string_view url);

// The host of an absolute URL ("scheme://..."), empty for any other text.
std::string UrlHost(std::string_view url);

// ReadUrl for form actions: host, port ("80" when none), and the path, which is left as it was
// when the URL has none, so callers set its default first.
void SplitUrl(const std::string& url, std::string& host, std::string& port, std::string& path);

}  // namespace vorta
