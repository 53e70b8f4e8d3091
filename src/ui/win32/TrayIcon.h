#pragma once
// The icon in the taskbar's notification area, with its hint; the owner window hears the mouse
// on it as `callbackMessage`.

#include <windows.h>

#include <string>

namespace vorta::win32ui {

class TrayIcon {
public:
    TrayIcon(HWND owner, UINT callbackMessage);
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Shows (or changes) the icon; false while no notification area took it.
    bool Show(HICON icon, const std::string& hint);
    // The taskbar came back (explorer restarted): the icon is added again.
    void Restore();
    bool Present() const { return added_; }

private:
    bool Send(DWORD message);

    HWND owner_;
    UINT callbackMessage_;
    HICON icon_ = nullptr;
    std::wstring hint_;
    bool added_ = false;
};

}  // namespace vorta::win32ui
