#pragma once
// Polls a condition that another thread makes true; false when it has not held within `limit`.

#include <chrono>
#include <thread>

namespace vorta::test {

template <typename Done>
bool WaitFor(Done done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace vorta::test
