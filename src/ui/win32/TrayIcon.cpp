#include "ui/win32/TrayIcon.h"

#include <shellapi.h>

#include <algorithm>

#include "ui/win32/Text.h"

namespace vorta::win32ui {

TrayIcon::TrayIcon(HWND owner, UINT callbackMessage)
    : owner_(owner), callbackMessage_(callbackMessage) {}

TrayIcon::~TrayIcon() {
    if (added_) Send(NIM_DELETE);
}

bool TrayIcon::Send(DWORD message) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner_;
    data.uID = 1;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = callbackMessage_;
    data.hIcon = icon_;
    const std::size_t n = std::min(hint_.size(), std::size(data.szTip) - 1);
    std::copy_n(hint_.begin(), n, data.szTip);
    return Shell_NotifyIconW(message, &data) != FALSE;
}

bool TrayIcon::Show(HICON icon, const std::string& hint) {
    icon_ = icon;
    hint_ = W(hint);
    if (added_ && Send(NIM_MODIFY)) return true;
    added_ = Send(NIM_ADD);
    return added_;
}

void TrayIcon::Restore() {
    added_ = Send(NIM_ADD);
}

}  // namespace vorta::win32ui
