#include "ui/win32/Window.h"

#include <windows.h>

#include <commctrl.h>

#include <set>

#include "ui/win32/Gdi.h"
#include "ui/win32/Icons.h"
#include "ui/win32/Text.h"

namespace vorta::win32ui {
namespace {

UniqueFont MakeFont(int weight, bool underline) {
    return UniqueFont(CreateFontW(-12, 0, 0, 0, weight, FALSE, underline, FALSE, GB2312_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                  DEFAULT_PITCH, L"\x5b8b\x4f53"));  // 宋体
}

}  // namespace

void RegisterWindowClass(const wchar_t* name, WNDPROC proc, HBRUSH background, UINT style) {
    static std::set<std::wstring> registered;
    if (!registered.insert(name).second) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.hIcon = AppIcon(true);
    wc.hIconSm = AppIcon(false);
    wc.lpszClassName = name;
    RegisterClassExW(&wc);
}

HFONT UiFont() {
    static const UniqueFont font = MakeFont(FW_NORMAL, false);
    return font.get();
}

HFONT BoldFont() {
    static const UniqueFont font = MakeFont(FW_BOLD, false);
    return font.get();
}

HFONT LinkFont() {
    static const UniqueFont font = MakeFont(FW_NORMAL, true);
    return font.get();
}

HWND Child(HWND parent, const wchar_t* className, const std::string& text, DWORD style, int x,
           int y, int w, int h, int id, DWORD exStyle) {
    HWND control = CreateWindowExW(exStyle, className, W(text).c_str(), WS_CHILD | style, x, y, w,
                                   h, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(UiFont()), FALSE);
    return control;
}

void AddHint(HWND tips, HWND control, const std::string& text) {
    std::wstring wide = W(text);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = GetParent(control);
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = wide.data();
    SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace vorta::win32ui
