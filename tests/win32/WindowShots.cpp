// Captures the running vorta.exe's main window, its four pages and its dialogs as BMP files,
// for the documentation's screenshots (scripts/win32/screenshots.sh turns them into PNG).
// Usage: vorta_window_shots DIR

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ui/win32/MainWindow.h"

namespace {

using namespace vorta::win32ui;

HWND WaitFor(const wchar_t* className, const wchar_t* title, int seconds, bool visible = true) {
    for (int i = 0; i < seconds * 10; ++i) {
        HWND found = FindWindowW(className, title);
        if (found && (!visible || IsWindowVisible(found))) return found;
        Sleep(100);
    }
    return nullptr;
}

// What the screen shows of `window` (it is brought to the front first), as a 24-bit BMP.
bool Capture(HWND window, const std::wstring& file) {
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(700);
    RECT box;
    GetWindowRect(window, &box);
    const int w = box.right - box.left, h = box.bottom - box.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;  // bottom-up, as BMP files store it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const bool copied = BitBlt(memory, 0, 0, w, h, screen, box.left, box.top, SRCCOPY) != FALSE;
    GdiFlush();
    const DWORD stride = static_cast<DWORD>((w * 3 + 3) & ~3);
    const DWORD size = stride * static_cast<DWORD>(h);
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info.bmiHeader;
    header.bfSize = header.bfOffBits + size;
    bool written = false;
    if (FILE* out = _wfopen(file.c_str(), L"wb")) {
        written = fwrite(&header, sizeof header, 1, out) == 1 &&
                  fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
                  fwrite(bits, size, 1, out) == 1;
        written = fclose(out) == 0 && written;
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return copied && written;
}

// Opens a dialog through the main window's command, captures it and closes it.
bool Dialog(HWND main, int command, const wchar_t* title, const std::wstring& file) {
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
    HWND dialog = WaitFor(L"#32770", title, 20);
    if (!dialog) {
        fwprintf(stderr, L"vorta_window_shots: no dialog %ls\n", title);
        return false;
    }
    const bool ok = Capture(dialog, file);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    for (int i = 0; i < 50 && IsWindow(dialog); ++i) Sleep(100);
    return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        fwprintf(stderr, L"usage: vorta_window_shots DIR\n");
        return 2;
    }
    const std::wstring dir = argv[1];
    // The window may start hidden in the tray (it logs on by itself): it is shown below.
    HWND main = WaitFor(L"VortaMainFrm", L"Vorta V1.0", 60, false);
    if (!main) {
        fwprintf(stderr, L"vorta_window_shots: no main window\n");
        return 1;
    }
    bool ok = true;
    // The logon's notification, once it has risen to its full height.
    if (HWND hint = WaitFor(L"VortaAnimateHint", nullptr, 20)) {
        RECT box{};
        for (int i = 0; i < 50 && box.bottom - box.top < 117; ++i) {
            Sleep(50);
            GetWindowRect(hint, &box);
        }
        ok = Capture(hint, dir + L"\\notification.bmp") && ok;
    }
    const wchar_t* pages[] = {L"main-user", L"main-advanced", L"main-domains", L"main-log"};
    for (int i = 0; i < 4; ++i) {
        SendMessageW(main, WM_COMMAND, MAKEWPARAM(cmd::ShowPage + i, 0), 0);
        ok = Capture(main, dir + L"\\" + pages[i] + L".bmp") && ok;
    }
    ok = Dialog(main, cmd::About, L"\x5173\x4e8e", dir + L"\\about.bmp") && ok;  // 关于
    ok = Dialog(main, cmd::SysInfo, L"\x7cfb\x7edf\x4fe1\x606f", dir + L"\\sysinfo.bmp") &&
         ok;  // 系统信息
    ok = Dialog(main, cmd::BtAdd, L"\x7ebf\x8def\x4fe1\x606f", dir + L"\\line-edit.bmp") &&
         ok;  // 线路信息
    return ok ? 0 : 1;
}
