#pragma once
// Interruptible pauses for background threads.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>

namespace vorta {

// Sleeps for `duration` unless a stop is requested first; true when the full time passed.
template <typename Rep, typename Period>
bool SleepUnlessStopped(std::stop_token stop, std::chrono::duration<Rep, Period> duration) {
    std::mutex mutex;
    std::condition_variable_any cv;
    std::unique_lock lock(mutex);
    // The predicate never holds, so wait_for's own answer says nothing: ask the token.
    cv.wait_for(lock, stop, duration, [] { return false; });
    return !stop.stop_requested();
}

}  // namespace vorta
