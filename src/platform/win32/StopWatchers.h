#pragma once
#include "platform/win32/Guard.h"
// Stop requests on Windows: the service control manager's stop and shutdown when the program
// runs as a service, the console's control events otherwise.

#include <functional>
#include <memory>

#include "platform/StopRequests.h"

namespace vorta::platform {

// `asService`: connect to the service control manager and report the service running until
// the returned watcher is destroyed (reported stopped then). A program started from a console
// instead watches the console. One watcher of each kind at a time per process; a second throws
// std::logic_error. Throws std::system_error when the service cannot be run.
std::unique_ptr<IStopRequests> WatchStopRequests(std::function<void()> onStop, bool asService);

}  // namespace vorta::platform
