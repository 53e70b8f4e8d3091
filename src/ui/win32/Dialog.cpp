#include "ui/win32/Dialog.h"

#include <vector>

#include "ui/win32/Text.h"
#include "ui/win32/Window.h"

namespace vorta::win32ui {

Dialog::Dialog(std::string caption, int width, int height, DWORD style)
    : caption_(std::move(caption)), width_(width), height_(height), style_(style) {}

INT_PTR Dialog::Run(HWND owner) {
    owner_ = owner;
    // DLGTEMPLATE, then empty menu, class and title arrays; DWORD aligned.
    std::vector<WORD> memory(sizeof(DLGTEMPLATE) / sizeof(WORD) + 4, 0);
    auto* tmpl = reinterpret_cast<DLGTEMPLATE*>(memory.data());
    tmpl->style = WS_POPUP | WS_CAPTION | DS_CENTER | style_;
    return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), tmpl, owner, Proc,
                                   reinterpret_cast<LPARAM>(this));
}

HWND Dialog::Control(const wchar_t* className, const std::string& text, DWORD style, int x, int y,
                     int w, int h, int id, DWORD exStyle) {
    return Child(dialog_, className, text, WS_VISIBLE | style, x, y, w, h, id, exStyle);
}

INT_PTR CALLBACK Dialog::Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    auto* self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!self) return FALSE;
    switch (message) {
        case WM_INITDIALOG: {
            self->dialog_ = dialog;
            SetWindowTextW(dialog, W(self->caption_).c_str());
            SendMessageW(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(UiFont()), FALSE);
            // The client area the dialog asks for, centred on its owner or on the screen.
            RECT frame{0, 0, self->width_, self->height_};
            AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE)),
                               FALSE, static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE)));
            const int w = frame.right - frame.left, h = frame.bottom - frame.top;
            RECT around{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
            if (self->centreOnOwner_ && self->owner_ && IsWindowVisible(self->owner_))
                GetWindowRect(self->owner_, &around);
            SetWindowPos(dialog, nullptr, around.left + (around.right - around.left - w) / 2,
                         around.top + (around.bottom - around.top - h) / 2, w, h,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            self->OnInit();
            return TRUE;
        }
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (self->OnCommand(id, HIWORD(wParam))) return TRUE;
            if (id == IDCANCEL) {
                self->End(IDCANCEL);
                return TRUE;
            }
            return FALSE;
        }
        default: {
            INT_PTR result = 0;
            if (self->OnOther(message, wParam, lParam, result)) {
                // The colour messages answer with their brush itself.
                if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) return result;
                SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
                return TRUE;
            }
            return FALSE;
        }
    }
}

}  // namespace vorta::win32ui
