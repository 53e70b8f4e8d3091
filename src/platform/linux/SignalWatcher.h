#pragma once
#include "platform/linux/Guard.h"
// SIGINT and SIGTERM as stop requests: blocked in every thread started after this one, and
// taken by one thread that waits for them.

#include <signal.h>

#include <functional>
#include <thread>

#include "platform/StopRequests.h"

namespace vorta::platform {

class SignalWatcher : public IStopRequests {
public:
    explicit SignalWatcher(std::function<void()> onStop);
    ~SignalWatcher() override;
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

private:
    sigset_t set_{};
    std::jthread thread_;
};

}  // namespace vorta::platform
