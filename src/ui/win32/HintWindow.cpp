#include "ui/win32/HintWindow.h"

#include <windowsx.h>

#include <algorithm>

#include "ui/win32/Icons.h"
#include "ui/win32/Text.h"
#include "ui/win32/Window.h"

namespace vorta::win32ui {
namespace {

constexpr wchar_t kClass[] = L"VortaAnimateHint";
constexpr UINT_PTR kScrollUp = 1, kDelay = 2, kScrollDown = 3;
constexpr UINT kSlideMs = 10;
constexpr int kCloseSide = 13;

WorkArea CurrentWorkArea() {
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return {area.left, area.top, area.right, area.bottom};
}

bool Inside(const RECT& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

}  // namespace

HintWindow::HintWindow(std::function<void()> onInfoClick) : onInfoClick_(std::move(onInfoClick)) {
    RegisterWindowClass(kClass, ObjectProc<HintWindow>, nullptr);
    // Placed at the work area's bottom edge until it starts.
    const WorkArea area = CurrentWorkArea();
    window_.reset(CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kClass, L"",
                                  WS_POPUP, area.right - 20 - 227, area.bottom, 227, 167, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), this));
    closeImage_ = AnimateCloseImage();
}

void HintWindow::SetTitle(const std::string& text) {
    title_ = W(text);
}

void HintWindow::SetInfo(const std::string& text) {
    info_ = W(text);
    if (window_) InvalidateRect(window_.get(), nullptr, TRUE);
}

bool HintWindow::Shown() const {
    return window_ && IsWindowVisible(window_.get());
}

void HintWindow::StartAnimation() {
    if (!window_) return;
    slide_ = HintSlide::Start(CurrentWorkArea(), HintWidth);
    scrollingDown_ = false;
    KillTimer(window_.get(), kDelay);
    KillTimer(window_.get(), kScrollDown);
    if (!background_ || backgroundWidth_ != HintWidth - 2 || backgroundHeight_ != HintHeight - 2) {
        backgroundWidth_ = HintWidth - 2;
        backgroundHeight_ = HintHeight - 2;
        background_ = AnimateBackground(backgroundWidth_, backgroundHeight_);
    }
    ApplyGeometry();
    ShowWindow(window_.get(), SW_SHOWNOACTIVATE);
    SetWindowPos(window_.get(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    InvalidateRect(window_.get(), nullptr, TRUE);
    SetTimer(window_.get(), kScrollUp, kSlideMs, nullptr);
}

void HintWindow::Close() {
    if (!window_) return;
    for (UINT_PTR timer : {kScrollUp, kDelay, kScrollDown}) KillTimer(window_.get(), timer);
    scrollingDown_ = false;
    ShowWindow(window_.get(), SW_HIDE);
}

void HintWindow::ApplyGeometry() {
    SetWindowPos(window_.get(), nullptr, slide_.left, slide_.top, HintWidth,
                 std::max(slide_.height, 0), SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT HintWindow::InfoRect() const {
    return {8, 28, HintWidth - 8, HintHeight - 4};
}

RECT HintWindow::CloseRect() const {
    const int left = HintWidth - kCloseSide - 6;
    return {left, 7, left + kCloseSide, 7 + kCloseSide};
}

void HintWindow::Paint(HDC dc) {
    RECT all{0, 0, HintWidth, HintHeight};
    const UniqueBrush frame(CreateSolidBrush(RGB(90, 120, 170)));
    FillRect(dc, &all, frame.get());
    if (background_) {
        UniqueDc source(CreateCompatibleDC(dc));
        const Selected select(source.get(), background_.get());
        BitBlt(dc, 1, 1, backgroundWidth_, backgroundHeight_, source.get(), 0, 0, SRCCOPY);
    }
    const RECT close = CloseRect();
    DrawIconEx(dc, close.left, close.top, closeImage_.get(), kCloseSide, kCloseSide, 0, nullptr,
               DI_NORMAL);
    SetBkMode(dc, TRANSPARENT);
    {
        const Selected font(dc, UiFont());
        SetTextColor(dc, TitleColor);
        RECT title{28, 7, HintWidth - kCloseSide - 8, 24};
        DrawTextW(dc, title_.c_str(), -1, &title, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
    }
    // The message centred both ways, wrapped.
    const Selected font(dc, overInfo_ ? LinkFont() : UiFont());
    SetTextColor(dc, InfoColor);
    const RECT box = InfoRect();
    RECT measured = box;
    DrawTextW(dc, info_.c_str(), -1, &measured,
              DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
    RECT text = box;
    text.top += std::max(0L, ((box.bottom - box.top) - (measured.bottom - measured.top)) / 2);
    DrawTextW(dc, info_.c_str(), -1, &text, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
}

LRESULT HintWindow::OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            if (wParam == kScrollUp) {
                if (!slide_.StepUp(HintHeight)) {
                    KillTimer(hwnd, kScrollUp);
                    SetTimer(hwnd, kDelay, static_cast<UINT>(DelaySeconds * 1000), nullptr);
                }
                ApplyGeometry();
            } else if (wParam == kDelay) {
                // The delay keeps ticking, so a slide paused by the mouse resumes once it left.
                if (mouseOver_) {
                    KillTimer(hwnd, kScrollDown);
                    scrollingDown_ = false;
                } else if (!scrollingDown_) {
                    scrollingDown_ = true;
                    SetTimer(hwnd, kScrollDown, kSlideMs, nullptr);
                }
            } else if (wParam == kScrollDown) {
                if (!slide_.StepDown())
                    Close();
                else
                    ApplyGeometry();
            }
            return 0;
        case WM_MOUSEMOVE: {
            if (!mouseOver_) {
                TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd, 0};
                TrackMouseEvent(&track);
            }
            mouseOver_ = true;
            const RECT info = InfoRect();
            const bool over = Inside(info, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            if (over != overInfo_) {
                overInfo_ = over;
                InvalidateRect(hwnd, &info, TRUE);
            }
            return 0;
        }
        case WM_MOUSELEAVE:
            mouseOver_ = false;
            if (overInfo_) {
                overInfo_ = false;
                InvalidateRect(hwnd, nullptr, TRUE);
            }
            return 0;
        case WM_SETCURSOR: {
            POINT at;
            GetCursorPos(&at);
            ScreenToClient(hwnd, &at);
            if (Inside(InfoRect(), at.x, at.y) || Inside(CloseRect(), at.x, at.y)) {
                SetCursor(LoadCursorW(nullptr, IDC_HAND));
                return TRUE;
            }
            break;
        }
        case WM_LBUTTONUP: {
            const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
            if (Inside(CloseRect(), x, y))
                Close();
            else if (Inside(InfoRect(), x, y) && onInfoClick_)
                onInfoClick_();
            return 0;
        }
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            Paint(dc);
            EndPaint(hwnd, &ps);
            return 0;
        }
        default:
            break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace vorta::win32ui
