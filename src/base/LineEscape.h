#pragma once
// Backslash escapes that keep a text on one line: `\\`, `\n`, `\r`, and with `tabs` also `\t`
// (for texts that travel as tab-separated fields). Unescaping drops a backslash before any
// other character, and keeps a lone one at the end.

#include <string>
#include <string_view>

namespace vorta {

std::string EscapeLineText(std::string_view text, bool tabs);
std::string UnescapeLineText(std::string_view text, bool tabs);

}  // namespace vorta
