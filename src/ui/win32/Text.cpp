#include "ui/win32/Text.h"

#include "core/ClientView.h"

namespace vorta::win32ui {

std::string WindowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return U8(text);
}

void SetText(HWND window, const std::string& utf8) {
    if (WindowText(window) != utf8) SetWindowTextW(window, W(utf8).c_str());
}

int Message(HWND owner, const std::string& text, UINT flags) {
    return MessageBoxW(owner, W(text).c_str(), W(kMessageCaption).c_str(), flags);
}

}  // namespace vorta::win32ui
