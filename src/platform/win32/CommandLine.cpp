#include "platform/win32/CommandLine.h"

#include <stdexcept>

#include "platform/win32/WideText.h"

namespace vorta::platform {

std::wstring QuoteArgument(std::wstring_view arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring_view::npos)
        return std::wstring(arg);
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count only before a quote: there they are doubled, and the quote escaped.
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');  // before the closing quote
    return quoted + L'"';
}

std::wstring CommandLineText(const std::vector<std::string>& command) {
    if (command.empty() || command.front().empty())
        throw std::invalid_argument("the command names no program");
    if (command.front().find('"') != std::string::npos)
        throw std::invalid_argument("the program name holds a quote");
    std::wstring text = L"\"" + ToWide(command.front()) + L"\"";
    for (std::size_t i = 1; i < command.size(); ++i)
        text += L" " + QuoteArgument(ToWide(command[i]));
    return text;
}

}  // namespace vorta::platform
