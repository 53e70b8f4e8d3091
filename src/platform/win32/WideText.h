#pragma once
#include "platform/win32/Guard.h"
// The program's UTF-8 text to and from the UTF-16 of the W entry points.

#include <string>
#include <string_view>

namespace vorta::platform {

// Malformed UTF-8 becomes U+FFFD.
std::wstring ToWide(std::string_view utf8);
// A lone surrogate becomes U+FFFD.
std::string ToUtf8(std::wstring_view wide);

}  // namespace vorta::platform
