#include "platform/win32/ServiceStopWatcher.h"

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <system_error>

#include "platform/ThreadName.h"

namespace vorta::platform {
namespace {

// An own-process service has one entry, whatever name it was installed under.
wchar_t kDispatchName[] = L"VortaService";
constexpr DWORD kStopWaitHint = 5000;
// While the program shuts down after a stop the pending stop is reported again this often, as
// progress for whoever waits, at most this many times in all.
constexpr std::chrono::milliseconds kProgressEvery{2000};
constexpr DWORD kMaxCheckPoint = 30;

// ServiceMain and the control handler are plain functions: what they share with the one
// watcher lives here.
struct ServiceState {
    std::mutex mutex;
    std::condition_variable changed;
    bool inUse = false;
    std::function<void()> onStop;
    bool running = false;         // ServiceMain reported the service running
    bool dispatcherDone = false;  // StartServiceCtrlDispatcherW returned
    DWORD failure = NO_ERROR;
    bool stopRequested = false;
    bool closing = false;  // the watcher is being destroyed
    DWORD exitCode = 0;    // the service's own code, reported with the stop
};

ServiceState& State() {
    static ServiceState state;
    return state;
}

void Report(SERVICE_STATUS_HANDLE handle, DWORD state, DWORD checkPoint = 0, DWORD exitCode = 0) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted =
        state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    // The manager shows a service-specific code; a stop with one is no crash, so the recovery
    // action (a restart) does not follow it.
    status.dwWin32ExitCode = exitCode != 0 ? ERROR_SERVICE_SPECIFIC_ERROR : NO_ERROR;
    status.dwServiceSpecificExitCode = exitCode;
    status.dwCheckPoint = checkPoint;
    status.dwWaitHint = state == SERVICE_STOP_PENDING ? kStopWaitHint : 0;
    SetServiceStatus(handle, &status);
}

// Runs on the dispatcher's thread, which must answer the manager quickly: the stop is handed
// to ServiceMain's thread.
DWORD WINAPI OnControl(DWORD control, DWORD, void*, void*) {
    switch (control) {
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_SHUTDOWN: {
            ServiceState& s = State();
            std::lock_guard lock(s.mutex);
            s.stopRequested = true;
            s.changed.notify_all();
            return NO_ERROR;
        }
        case SERVICE_CONTROL_INTERROGATE:
            return NO_ERROR;
        default:
            return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

// Makes every status report, never under the mutex: the manager may be waiting on the control
// handler, which takes it.
void WINAPI ServiceMain(DWORD, LPWSTR*) {
    ServiceState& s = State();
    const SERVICE_STATUS_HANDLE handle =
        RegisterServiceCtrlHandlerExW(kDispatchName, OnControl, nullptr);
    if (!handle) {
        const DWORD error = GetLastError();
        std::lock_guard lock(s.mutex);
        s.failure = error;
        s.changed.notify_all();
        return;
    }
    Report(handle, SERVICE_RUNNING);
    std::unique_lock lock(s.mutex);
    s.running = true;
    s.changed.notify_all();
    bool stopping = false;
    DWORD checkPoint = 0;
    while (!s.closing) {
        if (s.stopRequested && !stopping) {
            stopping = true;
            lock.unlock();
            Report(handle, SERVICE_STOP_PENDING, ++checkPoint);
            s.onStop();
            lock.lock();
        } else if (stopping && checkPoint < kMaxCheckPoint) {
            if (!s.changed.wait_for(lock, kProgressEvery, [&] { return s.closing; })) {
                lock.unlock();
                Report(handle, SERVICE_STOP_PENDING, ++checkPoint);
                lock.lock();
            }
        } else {
            s.changed.wait(lock, [&] { return s.closing || (s.stopRequested && !stopping); });
        }
    }
    const DWORD exitCode = s.exitCode;
    lock.unlock();
    // The dispatcher returns once this is seen; nothing here is touched after it.
    Report(handle, SERVICE_STOPPED, 0, exitCode);
}

void Release(ServiceState& s) {
    std::lock_guard lock(s.mutex);
    s.onStop = nullptr;
    s.inUse = false;
}

}  // namespace

std::unique_ptr<ServiceStopWatcher> ServiceStopWatcher::Start(std::function<void()> onStop) {
    ServiceState& s = State();
    {
        std::lock_guard lock(s.mutex);
        if (s.inUse) throw std::logic_error("a service stop watcher exists already");
        s.inUse = true;
        s.onStop = std::move(onStop);
        s.running = s.dispatcherDone = s.stopRequested = s.closing = false;
        s.failure = NO_ERROR;
        s.exitCode = 0;
    }
    std::jthread dispatcher([] {
        NameThisThread("vorta-service");
        SERVICE_TABLE_ENTRYW table[] = {{kDispatchName, ServiceMain}, {nullptr, nullptr}};
        const BOOL ok = StartServiceCtrlDispatcherW(table);
        const DWORD error = ok ? NO_ERROR : GetLastError();
        ServiceState& s = State();
        std::lock_guard lock(s.mutex);
        s.dispatcherDone = true;
        s.failure = ok ? s.failure : error;
        s.changed.notify_all();
    });
    std::unique_lock lock(s.mutex);
    s.changed.wait(lock, [&] { return s.running || s.failure != NO_ERROR || s.dispatcherDone; });
    if (s.running) return std::make_unique<ServiceStopWatcher>(Key(), std::move(dispatcher));
    const DWORD failure = s.failure != NO_ERROR ? s.failure : ERROR_SERVICE_NO_THREAD;
    if (!s.dispatcherDone) {
        // The handler could not be registered, so the service can never be reported stopped
        // and the dispatcher never returns: the process can only end.
        dispatcher.detach();
        throw std::system_error(static_cast<int>(failure), std::system_category(),
                                "cannot run the service");
    }
    lock.unlock();
    dispatcher.join();
    Release(s);
    if (failure == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) return nullptr;
    throw std::system_error(static_cast<int>(failure), std::system_category(),
                            "cannot run the service");
}

void ServiceStopWatcher::SetExitCode(int code) {
    ServiceState& s = State();
    std::lock_guard lock(s.mutex);
    s.exitCode = static_cast<DWORD>(code);
}

ServiceStopWatcher::~ServiceStopWatcher() {
    ServiceState& s = State();
    {
        std::lock_guard lock(s.mutex);
        s.closing = true;
        s.changed.notify_all();
    }
    dispatcher_.join();  // ServiceMain reports the service stopped, and the dispatcher returns
    Release(s);
}

}  // namespace vorta::platform
