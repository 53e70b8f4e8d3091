#include "platform/win32/InstanceMutex.h"

#include <windows.h>

#include <condition_variable>
#include <future>
#include <mutex>

#include "platform/ThreadName.h"
#include "platform/win32/PrivateAccess.h"
#include "platform/win32/UniqueHandle.h"

namespace vorta::platform {
namespace {

// The mutex in the Global namespace, so that the service in session 0 and a user's commands
// meet. A process without the right to create global objects falls back to its session's
// namespace, unless the global mutex exists already: then it waits on that one, or, kept out
// of it (another account's instance), finds it held.
// The mutex admits its maker, the administrators and the system only.
UniqueHandle OpenInstanceMutex(const std::wstring& id) {
    const UniqueSecurityDescriptor descriptor = PrivateSecurityDescriptor();
    if (!descriptor) return {};
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
    const std::wstring global = L"Global\\" + id;
    if (HANDLE created = CreateMutexW(&attributes, FALSE, global.c_str()))
        return UniqueHandle(created);
    if (GetLastError() != ERROR_ACCESS_DENIED) return {};
    if (HANDLE opened = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, global.c_str()))
        return UniqueHandle(opened);
    if (GetLastError() != ERROR_FILE_NOT_FOUND) return {};
    return UniqueHandle(CreateMutexW(&attributes, FALSE, (L"Local\\" + id).c_str()));
}

}  // namespace

InstanceMutex::InstanceMutex(const std::wstring& id) {
    std::promise<bool> taken;
    std::future<bool> result = taken.get_future();
    owner_ = std::jthread([id, taken = std::move(taken)](std::stop_token stop) mutable {
        NameThisThread("vorta-instance");
        const UniqueHandle mutex = OpenInstanceMutex(id);
        const DWORD wait = mutex ? WaitForSingleObject(mutex.get(), 0) : WAIT_FAILED;
        // Abandoned: its owner died without releasing it; it is this thread's now.
        const bool owned = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
        taken.set_value(owned);
        if (!owned) return;
        std::mutex m;
        std::condition_variable_any cv;
        std::unique_lock lock(m);
        cv.wait(lock, stop, [] { return false; });
        ReleaseMutex(mutex.get());
    });
    held_ = result.get();
    if (!held_) owner_ = {};
}

}  // namespace vorta::platform
