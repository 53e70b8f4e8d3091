#pragma once
#include "platform/win32/Guard.h"
// The console's control events (Ctrl+C, Ctrl+Break, closing the window, logoff, shutdown) as
// stop requests.

#include <functional>
#include <thread>

#include "platform/StopRequests.h"

namespace vorta::platform {

class ConsoleStopWatcher final : public IStopRequests {
public:
    explicit ConsoleStopWatcher(std::function<void()> onStop);
    ~ConsoleStopWatcher() override;
    ConsoleStopWatcher(const ConsoleStopWatcher&) = delete;
    ConsoleStopWatcher& operator=(const ConsoleStopWatcher&) = delete;

private:
    std::jthread thread_;
};

}  // namespace vorta::platform
