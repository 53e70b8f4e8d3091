#pragma once
// The operating system's ways of asking a foreground program to stop (a terminal's interrupt,
// a termination request), delivered as one call on a thread of the watcher's own.

#include <functional>
#include <memory>

namespace vorta::platform {

class IStopRequests {
public:
    virtual ~IStopRequests() = default;
    // The code the run ends with, for a service manager that keeps it (0: a clean stop).
    virtual void SetExitCode(int) {}
};

// Watches until the returned object is destroyed; `onStop` runs at most once per request.
// `asService`: the run is the system service, which on some systems hears its stop from the
// service manager rather than as a signal.
using StopRequestWatcher =
    std::function<std::unique_ptr<IStopRequests>(std::function<void()> onStop, bool asService)>;

}  // namespace vorta::platform
