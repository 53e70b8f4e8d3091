#include "platform/win32/ConsoleStopWatcher.h"

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <system_error>

#include "platform/ThreadName.h"

namespace vorta::platform {
namespace {

// After a close, logoff or shutdown event the system ends the process once the handler
// returns (and in any case after about five seconds): the handler holds on while the program
// shuts down, at most this long.
constexpr std::chrono::seconds kCloseGrace{5};

// The handler is a plain function: what it shares with the one watcher lives here.
struct ConsoleState {
    std::mutex mutex;
    std::condition_variable_any changed;
    bool active = false;
    unsigned generation = 0;  // tells one watcher's life from the next
    unsigned pending = 0;     // requests not yet handed to the callback
};

ConsoleState& State() {
    static ConsoleState state;
    return state;
}

BOOL WINAPI OnControl(DWORD type) {
    switch (type) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            break;
        default:
            return FALSE;
    }
    ConsoleState& s = State();
    std::unique_lock lock(s.mutex);
    if (!s.active) return FALSE;  // the system's default: end the process
    ++s.pending;
    s.changed.notify_all();
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) {
        const unsigned generation = s.generation;
        s.changed.wait_for(lock, kCloseGrace,
                           [&] { return !s.active || s.generation != generation; });
    }
    return TRUE;
}

}  // namespace

ConsoleStopWatcher::ConsoleStopWatcher(std::function<void()> onStop) {
    ConsoleState& s = State();
    {
        std::lock_guard lock(s.mutex);
        if (s.active) throw std::logic_error("a console stop watcher exists already");
        s.active = true;
        ++s.generation;
        s.pending = 0;
    }
    thread_ = std::jthread([onStop = std::move(onStop)](std::stop_token stop) {
        NameThisThread("vorta-console");
        ConsoleState& s = State();
        std::unique_lock lock(s.mutex);
        while (s.changed.wait(lock, stop, [&] { return s.pending > 0; })) {
            --s.pending;
            lock.unlock();
            onStop();
            lock.lock();
        }
    });
    if (!SetConsoleCtrlHandler(OnControl, TRUE)) {
        const auto error = static_cast<int>(GetLastError());
        thread_.request_stop();
        thread_.join();
        std::lock_guard lock(s.mutex);
        s.active = false;
        throw std::system_error(error, std::system_category(), "cannot watch the console");
    }
}

ConsoleStopWatcher::~ConsoleStopWatcher() {
    SetConsoleCtrlHandler(OnControl, FALSE);
    thread_.request_stop();
    thread_.join();
    // Releases a handler holding the process alive after a close event.
    ConsoleState& s = State();
    std::lock_guard lock(s.mutex);
    s.active = false;
    s.changed.notify_all();
}

}  // namespace vorta::platform
