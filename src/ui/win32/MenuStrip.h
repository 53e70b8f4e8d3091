#pragma once
// The menu bar under the title strip: a row of captions, each opening its pop-up menu, whose
// commands go to the owner window. (A borderless window's own menu bar would sit above the
// title strip.)

#include <windows.h>

#include <string>
#include <vector>

#include "ui/win32/Gdi.h"

namespace vorta::win32ui {

class MenuStrip {
public:
    void Create(HWND owner, int x, int y, int w, int h);
    void Add(const std::string& caption, HMENU popup);
    HWND Handle() const { return window_; }
    // Alt with a caption's underlined letter opens its menu; false when no caption has it.
    bool OpenByMnemonic(wchar_t letter);

    LRESULT OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    struct Item {
        std::wstring caption;
        HMENU popup;
        RECT box;
    };
    int ItemAt(int x) const;
    void Open(int item);

    HWND owner_ = nullptr;
    HWND window_ = nullptr;  // a child: its parent destroys it
    std::vector<Item> items_;
    int hot_ = -1;
    int open_ = -1;
};

}  // namespace vorta::win32ui
