#include <gtest/gtest.h>

#include <deque>

#include "FakeRemoteAccess.h"
#include "lines/DialUp.h"

namespace vorta {
namespace {

using test::FakeRemoteAccess;

TEST(DialUp, SynchronousDialConnectsAndReadsTheProjection) {
    FakeRemoteAccess ras;
    TDialUp dial(ras);
    dial.DialMode = TDialMode::dmSync;
    dial.Entry = "isp-a";
    dial.UserName = "u";
    dial.UserPwd = "p";
    std::vector<std::string> events;
    dial.OnDialing = [&] { events.push_back("dialing"); };
    dial.OnConnect = [&] { events.push_back("connect"); };
    ASSERT_EQ(dial.Dial(), 0);
    EXPECT_EQ(events, (std::vector<std::string>{"dialing", "connect"}));
    EXPECT_EQ(dial.Handle(), 42u);
    EXPECT_EQ(ras.dialed.entryName, "isp-a");
    ASSERT_EQ(dial.GetProjection(dial.Handle()), 0);
    EXPECT_EQ(dial.ClientIP(), "192.0.2.77");
    EXPECT_EQ(dial.ServerIP(), "192.0.2.1");
    EXPECT_EQ(dial.GetProjection(0), 0);
    EXPECT_EQ(dial.ClientIP(), "") << "a handle of 0 clears the addresses";
}

TEST(DialUp, EngineCredentialsWinEvenWhenEmpty) {
    FakeRemoteAccess ras;
    TDialUp dial(ras);
    dial.DialMode = TDialMode::dmSync;
    dial.Entry = "isp-a";
    ASSERT_EQ(dial.Dial(), 0);
    EXPECT_EQ(ras.dialed.userName, "");
    EXPECT_EQ(ras.dialed.password, "");
}

TEST(DialUp, FailedDialHangsUpItsHandleBeforeReporting) {
    FakeRemoteAccess ras;
    ras.dialResult = 1019;
    TDialUp dial(ras);
    dial.DialMode = TDialMode::dmSync;
    dial.Entry = "isp-a";
    dial.OnNotConnected = [&](int code, const std::string& text) {
        ras.calls.push_back("not connected " + std::to_string(code) + " " + text);
    };
    EXPECT_EQ(dial.Dial(), 1019);
    EXPECT_EQ(ras.calls, (std::vector<std::string>{"hangup 0", "params", "dial", "hangup 42",
                                                   "status", "not connected 1019 error 1019"}));
}

TEST(DialUp, UnreadableEntryParametersRaiseOnError) {
    FakeRemoteAccess ras;
    ras.paramsResult = 623;
    TDialUp dial(ras);
    std::vector<std::pair<int, std::string>> errors;
    dial.OnError = [&](int code, const std::string& text) { errors.emplace_back(code, text); };
    EXPECT_EQ(dial.Dial(), 623);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], std::make_pair(623, std::string("GetEntryDialParams failed")));
    EXPECT_EQ(std::count(ras.calls.begin(), ras.calls.end(), "dial"), 0);
}

TEST(DialUp, HangUpWaitsUntilTheLinkIsGoneButNotForever) {
    FakeRemoteAccess ras;
    ras.pollsUntilGone = 3;
    TDialUp dial(ras);
    EXPECT_EQ(dial.HangUpConnection(42), 0);
    EXPECT_EQ(std::count(ras.calls.begin(), ras.calls.end(), "status"), 4);
    EXPECT_EQ(ras.pollsUntilGone, -1);
    EXPECT_EQ(dial.HangUpConnection(0), platform::kRasInvalidHandle)
        << "0 goes to the layer unchanged";

    ras.pollsUntilGone = 1 << 30;  // a link that never goes
    dial.HangUpTimeout = std::chrono::milliseconds(200);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(dial.HangUpConnection(42), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
}

TEST(DialUp, StateTextsInThreeLanguages) {
    FakeRemoteAccess ras;
    TDialUp dial(ras);
    dial.Language = TLanguage::Czech;
    EXPECT_EQ(dial.StateText(8192, 0), "Spojeno");
    EXPECT_EQ(dial.StateText(5, 0), "Začínají se ověřovat uživatelské informace");
    EXPECT_EQ(dial.StateText(99, 0), "");
    for (TLanguage language : {TLanguage::English, TLanguage::Czech, TLanguage::Portuguese}) {
        dial.Language = language;
        EXPECT_EQ(dial.StateText(8192, 691), "error 691")
            << "an error gives its text in any language";
    }
    EXPECT_STREQ(TDialUp::StateName(TLanguage::English, 4099), "Password expired");
    EXPECT_STREQ(TDialUp::StateName(TLanguage::Portuguese, 8193), "Desconectado");
    EXPECT_STREQ(TDialUp::StateName(TLanguage::Czech, 15), "Příprava na zpetné volání");
}

TEST(DialUp, AsynchronousProgressIsDeliveredOneAtATimeOnTheOwnersThread) {
    FakeRemoteAccess ras;
    std::mutex queueLock;
    std::deque<std::function<void()>> ownerQueue;
    TDialUp dial(ras, [&](std::function<void()> delivery) {
        std::lock_guard guard(queueLock);
        ownerQueue.push_back(std::move(delivery));
    });
    dial.Entry = "isp-a";
    std::vector<int> states;
    dial.OnAsyncEvent = [&](int state, int, const std::string&) { states.push_back(state); };
    ASSERT_EQ(dial.Dial(), 0);
    ASSERT_TRUE(ras.notifier);
    std::jthread layer([&] {
        for (int state : {0, 1, 8192}) ras.notifier(state, 0);
    });
    auto queued = [&] {
        std::lock_guard guard(queueLock);
        return ownerQueue.size();
    };
    for (int delivered = 0; delivered < 3; ++delivered) {
        while (queued() == 0) std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(queued(), 1u) << "the next notification waits for this delivery";
        std::function<void()> delivery;
        {
            std::lock_guard guard(queueLock);
            delivery = std::move(ownerQueue.front());
            ownerQueue.pop_front();
        }
        delivery();
    }
    EXPECT_EQ(states, (std::vector<int>{0, 1, 8192}));
}

TEST(DialUp, TrafficCountsFromTheBaseline) {
    FakeRemoteAccess ras;
    TDialUp dial(ras);
    ras.counters = {1000, 5000, 0};
    EXPECT_TRUE(dial.StartStatistics(true, true));
    EXPECT_EQ(dial.BytesXmit(), 0u);
    ras.counters = {1500, 5200, 0};
    ASSERT_TRUE(dial.ReadStatistics());
    EXPECT_EQ(dial.BytesXmit(), 500u);
    EXPECT_EQ(dial.BytesRecv(), 200u);
    ras.counters = {10, 20, 0};  // the interface came back: counting starts again
    ASSERT_TRUE(dial.ReadStatistics());
    EXPECT_EQ(dial.BytesXmit(), 0u);
}

}  // namespace
}  // namespace vorta
