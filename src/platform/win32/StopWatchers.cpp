#include "platform/win32/StopWatchers.h"

#include <windows.h>
// after windows.h
#include <tlhelp32.h>

#include <string_view>

#include "platform/win32/ConsoleStopWatcher.h"
#include "platform/win32/ServiceStopWatcher.h"
#include "platform/win32/UniqueHandle.h"

namespace vorta::platform {
namespace {

// The service control manager starts every service process itself. Anything else asking for
// the dispatcher could take the control pipe of another service that is starting (Wine hands
// it to the first process that asks), so only its children do.
bool StartedByServiceManager() {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    const UniqueHandle owned(snapshot);
    const DWORD self = GetCurrentProcessId();
    DWORD parent = 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        if (entry.th32ProcessID == self) parent = entry.th32ParentProcessID;
    if (parent == 0) return false;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        if (entry.th32ProcessID == parent)
            return CompareStringOrdinal(entry.szExeFile, -1, L"services.exe", -1, TRUE) ==
                   CSTR_EQUAL;
    return false;
}

}  // namespace

std::unique_ptr<IStopRequests> WatchStopRequests(std::function<void()> onStop, bool asService) {
    if (asService && StartedByServiceManager()) {
        // Should the manager not know it after all, the console is watched instead.
        if (auto service = ServiceStopWatcher::Start(onStop)) return service;
    }
    return std::make_unique<ConsoleStopWatcher>(std::move(onStop));
}

}  // namespace vorta::platform
