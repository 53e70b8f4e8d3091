// The interruptible pause every background thread uses.

#include <gtest/gtest.h>

#include <thread>

#include "base/StopWait.h"

namespace vorta {
namespace {

TEST(SleepUnlessStopped, TellsWhetherTheFullTimePassed) {
    EXPECT_TRUE(SleepUnlessStopped(std::stop_token{}, std::chrono::milliseconds(1)));

    std::stop_source before;
    before.request_stop();
    EXPECT_FALSE(SleepUnlessStopped(before.get_token(), std::chrono::hours(1)));

    // A stop during the pause ends it early, and the caller learns that it did.
    std::stop_source during;
    std::jthread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        during.request_stop();
    });
    EXPECT_FALSE(SleepUnlessStopped(during.get_token(), std::chrono::hours(1)));
}

}  // namespace
}  // namespace vorta
