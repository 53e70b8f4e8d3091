// The auto logon thread and the shutdown while an exchange hangs.

#include "ClientHarness.h"

namespace vorta {
namespace {

using devservice::Exchange;
using test::ClientHarness;
using test::FaultWith;
using test::LiveService;
using Clock = std::chrono::steady_clock;

class AutoLogonTest : public ::testing::Test {
protected:
    ClientConfig Config() { return live.FastConfig(); }
    void Remember(ClientHarness& h, const std::string& pwd = "demo123") {
        h.store.values = {{"UserName", "demo"}, {"UserPwd", pwd}, {"AutoLogon", "1"}};
    }
    std::size_t ProfileQueries() {
        std::size_t n = 0;
        for (const auto& r : live.service.requests()) n += r.exchange == Exchange::Profile;
        return n;
    }
    LiveService live;
};

TEST_F(AutoLogonTest, RememberedPasswordLogsOnAfterRetries) {
    ClientHarness h(Config());
    Remember(h);
    live.service.setFault(Exchange::Profile, FaultWith(0, 500, std::nullopt, 2));
    h.client->StartClient(false);
    EXPECT_EQ(h.view.shows, 0) << "the window stays hidden";
    EXPECT_TRUE(h.client->AutoLogonPending());
    ASSERT_TRUE(h.RunUntil([&] { return h.client->LoggedOn(); }));
    EXPECT_GE(ProfileQueries(), 3u);
    EXPECT_FALSE(h.LogHas("登陆失败,原因: 连接服务器异常！")) << "auto logon failures are silent";
    EXPECT_TRUE(h.LogHas("登陆成功！"));
}

TEST_F(AutoLogonTest, AServiceThatKeepsFailingIsAskedLessOftenAndTheLogonFollowsItsReturn) {
    ClientHarness h(Config());  // a 50 ms period: the waits grow to 1.5 s
    Remember(h);
    live.service.setFault(Exchange::Profile, FaultWith(0, 500, std::nullopt, 1000));
    h.client->StartClient(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(1600));
    // In lock step that would be about 32 queries; doubling after the third failure makes 8.
    const std::size_t failed = ProfileQueries();
    EXPECT_GE(failed, 5u);
    EXPECT_LE(failed, 12u);
    live.service.clearFaults();
    const auto back = Clock::now();
    ASSERT_TRUE(h.RunUntil([&] { return h.client->LoggedOn(); }));
    EXPECT_LT(Clock::now() - back, std::chrono::milliseconds(3000)) << "within the longest wait";
}

TEST_F(AutoLogonTest, TypingIntoTheBoxesStopsTheRetries) {
    ClientHarness h(Config());
    Remember(h, "wrong");
    h.client->StartClient(false);
    ASSERT_TRUE(h.RunUntil([&] { return ProfileQueries() >= 2; }));
    h.client->EditEnter(EditBox::Password);
    EXPECT_FALSE(h.client->AutoLogonPending());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // a round in flight may finish
    const std::size_t settled = ProfileQueries();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(ProfileQueries(), settled);
    EXPECT_FALSE(h.client->LoggedOn());
}

TEST_F(AutoLogonTest, WithoutARememberedPasswordTheWindowShowsAndNothingIsSent) {
    ClientHarness h(Config());
    h.client->StartClient(false);
    EXPECT_EQ(h.view.shows, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(ProfileQueries(), 0u);
}

TEST_F(AutoLogonTest, ShutdownDoesNotWaitForAHangingExchange) {
    ClientHarness h(Config());
    Remember(h);
    live.service.setFault(Exchange::Profile, FaultWith(60000, 0, std::nullopt));
    h.client->StartClient(false);
    ASSERT_TRUE(h.RunUntil([&] { return ProfileQueries() >= 1; }));
    const auto start = Clock::now();
    h.client->Shutdown();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10))
        << "far below the 60 s the peer stalls";
    EXPECT_FALSE(h.client->LoggedOn());
}

}  // namespace
}  // namespace vorta
