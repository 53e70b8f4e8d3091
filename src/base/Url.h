#pragma once
// Small URL helpers for anything that speaks plain HTTP forms.

#include <string>
#include <string_view>

namespace vorta {

// Form encoding, byte by byte: ASCII letters and digits stay, a blank becomes "+", every other
// byte becomes "%XX" with upper-case hex digits. Multi-byte characters are encoded per byte.
std::string UrlEncode(std::string_view text);

// Splits "[http://]host[:port][/path]". Without a ":" the port is "80"; without a "/" `path` is
// left as it was, so callers set its default first. A leading "http://" is recognised in any
// letter case.
void SplitUrl(const std::string& url, std::string& host, std::string& port, std::string& path);

}  // namespace vorta
