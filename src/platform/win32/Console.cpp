#include "platform/win32/Console.h"

#include <mutex>

#include "platform/win32/UniqueHandle.h"

namespace vorta::platform {
namespace {

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != 0;
}

// A redirection the parent handed down: a disk file, a pipe, or a character device such as NUL.
bool IsRedirected(HANDLE handle) {
    SetLastError(NO_ERROR);
    const DWORD type = GetFileType(handle);
    return type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE || type == FILE_TYPE_CHAR;
}

// The attached console's own buffers, opened by name: the standard handles a GUI program got at
// its start do not name them.
struct AttachedConsole {
    std::mutex mutex;
    bool tried = false;
    bool attached = false;
    UniqueHandle input;
    UniqueHandle output;
};

AttachedConsole& Attached() {
    static AttachedConsole console;
    return console;
}

bool AttachLocked(AttachedConsole& c) {
    if (!c.tried) {
        c.tried = true;
        // Access denied: the process has a console already (a console start, or AllocConsole).
        c.attached = AttachConsole(ATTACH_PARENT_PROCESS) || GetLastError() == ERROR_ACCESS_DENIED;
    }
    return c.attached;
}

UniqueHandle OpenConsoleBuffer(const wchar_t* name) {
    const HANDLE h =
        CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    return UniqueHandle(h == INVALID_HANDLE_VALUE ? nullptr : h);
}

}  // namespace

bool AttachParentConsole() {
    AttachedConsole& c = Attached();
    std::lock_guard lock(c.mutex);
    return AttachLocked(c);
}

StandardStream OpenStandardStream(DWORD which) {
    const HANDLE inherited = GetStdHandle(which);
    AttachedConsole& c = Attached();
    std::lock_guard lock(c.mutex);
    if (inherited != nullptr && inherited != INVALID_HANDLE_VALUE) {
        if (IsConsole(inherited)) return {inherited, true};
        // A parent that redirected another stream may hand down its console's handle for this
        // one, a character device that is a console only once the process is attached to it.
        if (GetFileType(inherited) == FILE_TYPE_CHAR && AttachLocked(c) && IsConsole(inherited))
            return {inherited, true};
        if (IsRedirected(inherited)) return {inherited, false};
    }
    if (!AttachLocked(c)) return {};
    UniqueHandle& buffer = which == STD_INPUT_HANDLE ? c.input : c.output;
    if (!buffer) buffer = OpenConsoleBuffer(which == STD_INPUT_HANDLE ? L"CONIN$" : L"CONOUT$");
    return {buffer.get(), buffer != nullptr};
}

}  // namespace vorta::platform
