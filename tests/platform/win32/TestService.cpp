// A program for the tests: watches stop requests as a service (started from a console, it
// watches the console), writes "ready" to the file its argument names, and "stopped" once a
// stop request came, before it reports the service stopped.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>

#include "platform/win32/StopWatchers.h"

namespace {

void Write(const wchar_t* path, const char* text) {
    std::ofstream(std::filesystem::path(path), std::ios::binary | std::ios::trunc) << text;
}

}  // namespace

int main() {
    int argc = 0;
    const std::unique_ptr<wchar_t*, decltype(&LocalFree)> argv(
        CommandLineToArgvW(GetCommandLineW(), &argc), &LocalFree);
    if (!argv || argc < 2) return 2;
    const wchar_t* marker = argv.get()[1];
    std::mutex mutex;
    std::condition_variable stopped;
    bool stop = false;
    const auto watcher = vorta::platform::WatchStopRequests(
        [&] {
            std::lock_guard lock(mutex);
            stop = true;
            stopped.notify_all();
        },
        true);
    Write(marker, "ready");
    std::unique_lock lock(mutex);
    if (!stopped.wait_for(lock, std::chrono::seconds(60), [&] { return stop; })) return 3;
    Write(marker, "stopped");
    return 0;
}
