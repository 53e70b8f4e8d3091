// The waits of retrying threads: jitter, the growth after repeated failures, the way back.

#include <gtest/gtest.h>

#include <set>

#include "core/RetryPlan.h"

namespace vorta {
namespace {

using std::chrono::milliseconds;

TEST(RetryPlan, JitterStaysWithinTenPercentAndVaries) {
    RetryPlan plan({.base = milliseconds(40000)}, 7);
    std::set<milliseconds::rep> seen;
    for (int i = 0; i < 1000; ++i) {
        const milliseconds wait = plan.Idle();
        ASSERT_GE(wait, milliseconds(36000));
        ASSERT_LE(wait, milliseconds(44000));
        seen.insert(wait.count());
    }
    EXPECT_GT(seen.size(), 500u) << "the waits spread over the range";
    EXPECT_LT(*seen.begin(), 37000);
    EXPECT_GT(*seen.rbegin(), 43000);
}

TEST(RetryPlan, WaitsDoubleAfterRepeatedFailuresUpToTheCeilingAndASuccessResets) {
    RetryPlan plan({.base = milliseconds(10000), .ceiling = milliseconds(300000), .spread = 0}, 1);
    std::vector<milliseconds::rep> waits;
    for (int i = 0; i < 10; ++i) waits.push_back(plan.After(false).count());
    EXPECT_EQ(waits, (std::vector<milliseconds::rep>{10000, 10000, 10000, 20000, 40000, 80000,
                                                     160000, 300000, 300000, 300000}));
    EXPECT_EQ(plan.After(true), milliseconds(10000));
    EXPECT_EQ(plan.Failures(), 0u);
    EXPECT_EQ(plan.After(false), milliseconds(10000)) << "a new run of failures starts over";

    // With jitter the grown wait keeps its spread around the ceiling.
    RetryPlan jittered({.base = milliseconds(10000), .ceiling = milliseconds(300000)}, 3);
    for (int i = 0; i < 60; ++i) {
        const milliseconds wait = jittered.After(false);
        ASSERT_LE(wait, milliseconds(330000));
        if (i > 10) {
            ASSERT_GE(wait, milliseconds(270000));
        }
    }
}

}  // namespace
}  // namespace vorta
