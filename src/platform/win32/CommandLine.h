#pragma once
#include "platform/win32/Guard.h"
// Command lines as Windows programs split them (CommandLineToArgvW and the C runtime).

#include <string>
#include <string_view>
#include <vector>

namespace vorta::platform {

// One argument, quoted only when it is empty or holds blanks or quotes.
std::wstring QuoteArgument(std::wstring_view arg);
// The program, always quoted, then its arguments. Throws std::invalid_argument for an empty
// command or a program holding a quote (a program name ends at the next quote, unescaped).
std::wstring CommandLineText(const std::vector<std::string>& command);

}  // namespace vorta::platform
