#pragma once
#include "platform/win32/Guard.h"
// The standard streams of a program linked for the GUI subsystem. Windows gives such a program no
// console: started from cmd.exe or PowerShell it has no standard handles unless they were
// redirected (a file, a pipe, NUL), and a console it reaches only by attaching to its parent's.

#include <windows.h>

namespace vorta::platform {

struct StandardStream {
    HANDLE handle = nullptr;  // null: nowhere to read or write
    bool console = false;     // a console (UTF-16 through ReadConsoleW / WriteConsoleW), else bytes
};

// STD_INPUT_HANDLE, STD_OUTPUT_HANDLE or STD_ERROR_HANDLE: the inherited handle when it is a
// file, a pipe, a character device or a console; otherwise the parent's console (attached on
// first use), or none. The handle stays valid for the life of the process.
StandardStream OpenStandardStream(DWORD which);

// Attaches to the parent process's console once; true when the process has a console now (its
// own, or the parent's). Console control events (Ctrl+C, closing the window) reach a GUI program
// only once it is attached.
bool AttachParentConsole();

}  // namespace vorta::platform
