#include "platform/win32/SystemMessage.h"

#include <string_view>

#include "platform/win32/WideText.h"

namespace vorta::platform {

std::string SystemMessage(DWORD code) {
    wchar_t text[1024];
    const DWORD n =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                       text, static_cast<DWORD>(std::size(text)), nullptr);
    std::wstring_view message(text, n);
    while (!message.empty() &&
           (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.remove_suffix(1);
    if (message.empty()) return "error " + std::to_string(code);
    return ToUtf8(message);
}

}  // namespace vorta::platform
