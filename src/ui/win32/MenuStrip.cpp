#include "ui/win32/MenuStrip.h"

#include <windowsx.h>

#include "ui/win32/Text.h"
#include "ui/win32/Window.h"

namespace vorta::win32ui {

void MenuStrip::Create(HWND owner, int x, int y, int w, int h) {
    constexpr wchar_t kClass[] = L"VortaMenuStrip";
    RegisterWindowClass(kClass, ObjectProc<MenuStrip>, GetSysColorBrush(COLOR_MENU));
    owner_ = owner;
    window_ = CreateWindowExW(0, kClass, L"ActionMainMenuBar1", WS_CHILD | WS_VISIBLE, x, y, w, h,
                              owner, nullptr, GetModuleHandleW(nullptr), this);
}

void MenuStrip::Add(const std::string& caption, HMENU popup) {
    Item item{W(caption), popup, {}};
    HDC dc = GetDC(window_);
    const Selected font(dc, UiFont());
    RECT size{0, 0, 0, 0};
    DrawTextW(dc, item.caption.c_str(), -1, &size, DT_CALCRECT | DT_SINGLELINE);
    ReleaseDC(window_, dc);
    RECT strip;
    GetClientRect(window_, &strip);
    const int left = items_.empty() ? 2 : items_.back().box.right;
    item.box = {left, 0, left + (size.right - size.left) + 14, strip.bottom};
    items_.push_back(std::move(item));
    InvalidateRect(window_, nullptr, TRUE);
}

bool MenuStrip::OpenByMnemonic(wchar_t letter) {
    // CharUpperW takes a single character in the pointer's low word.
    const auto upper = [](wchar_t c) {
        return static_cast<wchar_t>(reinterpret_cast<ULONG_PTR>(
            CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(c)))));
    };
    for (std::size_t i = 0; i < items_.size(); ++i) {
        const std::wstring& caption = items_[i].caption;
        const auto amp = caption.find(L'&');
        if (amp != std::wstring::npos && amp + 1 < caption.size() &&
            upper(caption[amp + 1]) == upper(letter)) {
            Open(static_cast<int>(i));
            return true;
        }
    }
    return false;
}

int MenuStrip::ItemAt(int x) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (x >= items_[i].box.left && x < items_[i].box.right) return static_cast<int>(i);
    return -1;
}

void MenuStrip::Open(int item) {
    open_ = item;
    InvalidateRect(window_, nullptr, TRUE);
    UpdateWindow(window_);
    RECT box = items_[static_cast<std::size_t>(item)].box;
    MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&box), 2);
    // The owner hears WM_INITMENUPOPUP first, and the chosen command as WM_COMMAND.
    TrackPopupMenuEx(items_[static_cast<std::size_t>(item)].popup, TPM_LEFTALIGN | TPM_TOPALIGN,
                     box.left, box.bottom, owner_, nullptr);
    open_ = -1;
    hot_ = -1;
    InvalidateRect(window_, nullptr, TRUE);
}

LRESULT MenuStrip::OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            const Selected font(dc, UiFont());
            SetBkMode(dc, TRANSPARENT);
            for (std::size_t i = 0; i < items_.size(); ++i) {
                RECT box = items_[i].box;
                const bool lit = static_cast<int>(i) == open_ || static_cast<int>(i) == hot_;
                if (lit) FillRect(dc, &box, GetSysColorBrush(COLOR_HIGHLIGHT));
                SetTextColor(dc, GetSysColor(lit ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
                DrawTextW(dc, items_[i].caption.c_str(), -1, &box,
                          DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            }
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_MOUSEMOVE: {
            const int at = ItemAt(GET_X_LPARAM(lParam));
            if (at != hot_) {
                if (hot_ < 0) {
                    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd, 0};
                    TrackMouseEvent(&track);
                }
                hot_ = at;
                InvalidateRect(hwnd, nullptr, TRUE);
            }
            return 0;
        }
        case WM_MOUSELEAVE:
            hot_ = -1;
            InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        case WM_LBUTTONDOWN:
            if (const int at = ItemAt(GET_X_LPARAM(lParam)); at >= 0) Open(at);
            return 0;
        default:
            return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

}  // namespace vorta::win32ui
