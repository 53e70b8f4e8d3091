#pragma once
// A flag that any thread raises and one background thread waits for, its wait ending at once on
// a stop.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <utility>

namespace vorta {

class WakeFlag {
public:
    using Clock = std::chrono::steady_clock;

    void Raise() {
        {
            std::lock_guard guard(lock_);
            raised_ = true;
        }
        wake_.notify_all();
    }
    // Waits until the flag is raised (true; it stays raised), `until` passes or `stop` comes.
    bool WaitUntil(std::stop_token stop, Clock::time_point until) {
        std::unique_lock lock(lock_);
        return wake_.wait_until(lock, stop, until, [this] { return raised_; });
    }
    // The same without a time limit.
    bool Wait(std::stop_token stop) {
        std::unique_lock lock(lock_);
        return wake_.wait(lock, stop, [this] { return raised_; });
    }
    // Lowers the flag; whether it was raised.
    bool Take() {
        std::lock_guard guard(lock_);
        return std::exchange(raised_, false);
    }

private:
    std::mutex lock_;
    std::condition_variable_any wake_;
    bool raised_ = false;
};

}  // namespace vorta
