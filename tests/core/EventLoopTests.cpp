#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/EventLoop.h"

namespace vorta {
namespace {

TEST(EventLoop, EventsFromOtherThreadsRunOnTheLoopThread) {
    EventLoop loop;
    std::vector<EventId> seen;
    std::thread::id handlerThread;
    loop.SetHandler([&](const ClientEvent& e) {
        seen.push_back(e.id);
        handlerThread = std::this_thread::get_id();
        if (e.id == EventId::ServiceList) loop.Quit();
    });
    std::jthread poster([&] {
        loop.Post(ClientEvent(EventId::LogonDone));
        loop.Post(ClientEvent(EventId::ServiceList, 0, -1, "text"));
    });
    loop.Run({});
    EXPECT_EQ(seen, (std::vector<EventId>{EventId::LogonDone, EventId::ServiceList}));
    EXPECT_EQ(handlerThread, std::this_thread::get_id());
}

TEST(EventLoop, QuitFromAnotherThreadTellsTheOuterLoop) {
    EventLoop loop;
    std::atomic<int> told{0};
    loop.SetQuitHandler([&] { ++told; });
    std::jthread([&] { loop.Quit(); }).join();
    EXPECT_EQ(told, 1);
    loop.SetQuitHandler({});
    loop.Quit();
    EXPECT_EQ(told, 1);
}

TEST(EventLoop, TimersTickWhileEnabledAndStopEndsTheLoop) {
    EventLoop loop;
    int ticks = 0;
    int timer = -1;
    timer = loop.AddTimer(
        std::chrono::milliseconds(5),
        [&] {
            if (++ticks == 3) loop.SetTimerEnabled(timer, false);
        },
        true);
    std::stop_source stop;
    std::jthread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop.request_stop();
    });
    loop.Run(stop.get_token());
    EXPECT_EQ(ticks, 3);
    EXPECT_FALSE(loop.TimerEnabled(timer));
}

TEST(EventLoop, InvokeRunsTheCallAndWakeupIsCalledOnPost) {
    EventLoop loop;
    int wakeups = 0;
    bool ran = false;
    loop.SetWakeup([&] { ++wakeups; });
    loop.Post(ClientEvent([&] { ran = true; }));
    EXPECT_EQ(wakeups, 1);
    EXPECT_FALSE(ran);
    loop.ProcessDue();
    EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace vorta
