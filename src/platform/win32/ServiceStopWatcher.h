#pragma once
#include "platform/win32/Guard.h"
// The service control manager's stop and shutdown controls as stop requests.

#include <functional>
#include <memory>
#include <thread>

#include "platform/StopRequests.h"

namespace vorta::platform {

class ServiceStopWatcher final : public IStopRequests {
public:
    // Runs the service dispatcher and waits until the service is reported running. Null when
    // the process was not started by the service control manager.
    static std::unique_ptr<ServiceStopWatcher> Start(std::function<void()> onStop);
    // Reports the service stopped and waits for the dispatcher to return.
    ~ServiceStopWatcher() override;
    // A non-zero code is reported with the stop as the service's own exit code.
    void SetExitCode(int code) override;
    ServiceStopWatcher(const ServiceStopWatcher&) = delete;
    ServiceStopWatcher& operator=(const ServiceStopWatcher&) = delete;

private:
    struct Key {
        explicit Key() = default;
    };

public:
    ServiceStopWatcher(Key, std::jthread dispatcher) : dispatcher_(std::move(dispatcher)) {}

private:
    std::jthread dispatcher_;
};

}  // namespace vorta::platform
