#pragma once
// What every window of the program shares: its class, the object behind its handle, its fonts
// and the child controls it makes.

#include <windows.h>

#include <string>

namespace vorta::win32ui {

// Registers the class `name` once, with `proc`; `background` may be null.
void RegisterWindowClass(const wchar_t* name, WNDPROC proc, HBRUSH background, UINT style = 0);

// The window procedure of a class whose windows are objects of T: CreateWindowExW gets the
// object as its parameter, and T::OnMessage(hwnd, message, wParam, lParam) answers.
template <typename T>
LRESULT CALLBACK ObjectProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* created = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created->lpCreateParams));
    }
    auto* self = reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    return self ? self->OnMessage(hwnd, message, wParam, lParam)
                : DefWindowProcW(hwnd, message, wParam, lParam);
}

// The window's fonts: "宋体" 12 pixels (9 points), bold, and underlined for links.
HFONT UiFont();
HFONT BoldFont();
HFONT LinkFont();

// A child control with the UI font.
HWND Child(HWND parent, const wchar_t* className, const std::string& text, DWORD style, int x,
           int y, int w, int h, int id = 0, DWORD exStyle = 0);
// Adds `text` as the control's hint to a tool tip control.
void AddHint(HWND tips, HWND control, const std::string& text);

}  // namespace vorta::win32ui
