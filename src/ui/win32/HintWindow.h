#pragma once
// The sliding notification: rises out of the bottom right corner of the work area (where the
// taskbar leaves room), stays for a few seconds (longer while the mouse rests on it), and sinks
// away. Always on top, never activated.

#include <windows.h>

#include <functional>
#include <string>

#include "ui/win32/Gdi.h"
#include "ui/win32/HintSlide.h"

namespace vorta::win32ui {

class HintWindow {
public:
    explicit HintWindow(std::function<void()> onInfoClick);
    HintWindow(const HintWindow&) = delete;
    HintWindow& operator=(const HintWindow&) = delete;

    int HintHeight = 117;
    int HintWidth = 182;
    int DelaySeconds = 5;
    COLORREF TitleColor = RGB(0, 0, 0);
    COLORREF InfoColor = RGB(0, 0, 0);
    void SetTitle(const std::string& text);
    void SetInfo(const std::string& text);

    // Lays the window out below the work area and starts sliding up (again, if it is up).
    void StartAnimation();
    // Ends it at once.
    void Close();
    bool Shown() const;
    HWND Handle() const { return window_.get(); }

    LRESULT OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    void ApplyGeometry();
    void Paint(HDC dc);
    RECT InfoRect() const;
    RECT CloseRect() const;

    std::function<void()> onInfoClick_;
    std::wstring title_, info_;
    UniqueWindow window_;
    UniqueBitmap background_;
    int backgroundWidth_ = 0, backgroundHeight_ = 0;
    UniqueIcon closeImage_;
    HintSlide slide_;
    bool mouseOver_ = false;
    bool overInfo_ = false;
    bool scrollingDown_ = false;
};

}  // namespace vorta::win32ui
