#pragma once
#include "platform/win32/Guard.h"
// Owning wrappers for the Windows handles this folder opens.

#include <windows.h>

#include <memory>

namespace vorta::platform {

struct HandleCloser {
    void operator()(HANDLE h) const { CloseHandle(h); }
};
// A kernel handle; callers turn INVALID_HANDLE_VALUE into an empty one before wrapping.
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

struct ServiceHandleCloser {
    void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
// The service control manager or one service in it.
using UniqueServiceHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceHandleCloser>;

}  // namespace vorta::platform
