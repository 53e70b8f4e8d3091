#pragma once
// A modal dialog without a resource: an empty in-memory template that the dialog manager runs
// (tab order, Enter and Esc, its own loop), filled with controls when it opens and sized to the
// client area it asks for.

#include <windows.h>

#include <string>

namespace vorta::win32ui {

class Dialog {
public:
    virtual ~Dialog() = default;
    // Runs the dialog over `owner`; the code it ended with (IDOK, IDCANCEL, ...).
    INT_PTR Run(HWND owner);
    HWND Handle() const { return dialog_; }

protected:
    // `style` adds to a popup with a caption; width and height are the client area's.
    Dialog(std::string caption, int width, int height, DWORD style = DS_MODALFRAME | WS_SYSMENU);
    virtual void OnInit() = 0;
    // A control's command; true when handled. IDCANCEL (Esc, the close box) ends the dialog
    // unless handled.
    virtual bool OnCommand(int id, int code) = 0;
    // Any other message; true when handled (with the result in `result`).
    virtual bool OnOther(UINT, WPARAM, LPARAM, INT_PTR&) { return false; }
    // Centres the dialog on the owner instead of the screen.
    bool centreOnOwner_ = false;

    HWND Control(const wchar_t* className, const std::string& text, DWORD style, int x, int y,
                 int w, int h, int id = 0, DWORD exStyle = 0);
    void End(INT_PTR code) { EndDialog(dialog_, code); }

private:
    static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

    std::string caption_;
    int width_, height_;
    DWORD style_;
    HWND owner_ = nullptr;
    HWND dialog_ = nullptr;
};

}  // namespace vorta::win32ui
