#pragma once
// UTF-8, the program's text, to and from the UTF-16 of the Windows W entry points.

#include <string>
#include <string_view>

namespace vorta::win32 {

// Malformed UTF-8 becomes U+FFFD.
std::wstring ToWide(std::string_view utf8);
// A lone surrogate becomes U+FFFD.
std::string ToUtf8(std::wstring_view wide);

}  // namespace vorta::win32
