#pragma once
// A hidden message-only window of the window's thread: what other threads post to it runs on
// that thread, also while a modal dialog or message box runs its own loop.

#include <windows.h>

#include <functional>

#include "ui/win32/Gdi.h"

namespace vorta::win32ui {

class MessageWindow {
public:
    // `onMessage` answers every message of the window; true when it handled it.
    explicit MessageWindow(std::function<bool(UINT, WPARAM, LPARAM)> onMessage);
    HWND Handle() const { return window_.get(); }

    LRESULT OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    std::function<bool(UINT, WPARAM, LPARAM)> onMessage_;
    UniqueWindow window_;
};

}  // namespace vorta::win32ui
