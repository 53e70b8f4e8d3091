#include "platform/win32/StopWatchers.h"

#include "platform/win32/ConsoleStopWatcher.h"
#include "platform/win32/ServiceStopWatcher.h"

namespace vorta::platform {

std::unique_ptr<IStopRequests> WatchStopRequests(std::function<void()> onStop, bool asService) {
    if (asService) {
        // A console start of the service mode finds no service controller to talk to.
        if (auto service = ServiceStopWatcher::Start(onStop)) return service;
    }
    return std::make_unique<ConsoleStopWatcher>(std::move(onStop));
}

}  // namespace vorta::platform
