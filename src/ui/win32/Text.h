#pragma once
// UTF-8 inside, UTF-16 at the API: the window's texts and the controls' contents.

#include <windows.h>

#include <string>

#include "platform/win32/WideText.h"

namespace vorta::win32ui {

inline std::wstring W(const std::string& utf8) {
    return platform::ToWide(utf8);
}
inline std::wstring W(const char* utf8) {
    return platform::ToWide(utf8);
}
inline std::string U8(const std::wstring& wide) {
    return platform::ToUtf8(wide);
}

// A control's text, as UTF-8.
std::string WindowText(HWND window);
// Sets the text only when it differs, so that a render leaves an unchanged control alone.
void SetText(HWND window, const std::string& utf8);
// Shows a message box with the client's caption; the answer (IDOK, IDCANCEL, ...).
int Message(HWND owner, const std::string& text, UINT flags);

}  // namespace vorta::win32ui
