#include "ui/win32/MessageWindow.h"

#include <stdexcept>

#include "ui/win32/Window.h"

namespace vorta::win32ui {

MessageWindow::MessageWindow(std::function<bool(UINT, WPARAM, LPARAM)> onMessage)
    : onMessage_(std::move(onMessage)) {
    constexpr wchar_t kClass[] = L"VortaMessages";
    RegisterWindowClass(kClass, ObjectProc<MessageWindow>, nullptr);
    window_.reset(CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), this));
    if (!window_) throw std::runtime_error("the window's message window cannot be made");
}

LRESULT MessageWindow::OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (onMessage_ && onMessage_(message, wParam, lParam)) return 0;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace vorta::win32ui
