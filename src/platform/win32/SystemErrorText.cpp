#include "platform/win32/SystemErrorText.h"

#include <windows.h>

#include "platform/win32/WideText.h"

namespace vorta::platform {

std::string SystemErrorText(std::uint32_t code) {
    wchar_t buffer[512];
    DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                       buffer, sizeof buffer / sizeof buffer[0], nullptr);
    while (length > 0 && (buffer[length - 1] == L'\r' || buffer[length - 1] == L'\n' ||
                          buffer[length - 1] == L' '))
        --length;
    if (length == 0) return "error " + std::to_string(code);
    return ToUtf8(std::wstring_view(buffer, length));
}

}  // namespace vorta::platform
