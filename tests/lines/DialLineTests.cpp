// The dial-up line over a fake remote access layer, and keep threads following KeepActive.

#include <gtest/gtest.h>

#include <thread>

#include "FakeNetworkTables.h"
#include "FakeRemoteAccess.h"
#include "lines/LDailx.h"

namespace vorta {
namespace {

using namespace std::chrono_literals;

class DialLineTest : public ::testing::Test {
protected:
    std::shared_ptr<TDailLine> Line(std::chrono::milliseconds period = std::chrono::hours(1)) {
        services.keepPeriod = period;
        auto line = std::make_shared<TDailLine>(services);
        line->Initialize();
        line->SetEntryName("isp-a");
        line->SetUserName("u");
        line->SetPassword("p");
        return line;
    }
    test::FakeNetworkTables tables;
    TIpRoutes routes{tables};
    test::FakeRemoteAccess ras;
    LineServices services{routes, &ras, "", std::chrono::hours(1)};
};

TEST_F(DialLineTest, ConnectDialsTheEntryInAnyLetterCase) {
    auto line = Line();
    line->SetEntryName("ISP-A");
    EXPECT_EQ(line->Connect(), 0);
    EXPECT_EQ(ras.dialed.entryName, "ISP-A");
    EXPECT_EQ(ras.dialed.userName, "u");
    EXPECT_EQ(line->GetIpAddress(), "192.0.2.77");
}

TEST_F(DialLineTest, MissingEntryOrLayerGivesMinusOne) {
    auto line = Line();
    line->SetEntryName("nowhere");
    EXPECT_EQ(line->Connect(), -1);
    EXPECT_TRUE(std::find(ras.calls.begin(), ras.calls.end(), "dial") == ras.calls.end());
    LineServices none{routes, nullptr, "", std::chrono::hours(1)};
    TDailLine orphan(none);
    orphan.Initialize();
    orphan.SetEntryName("isp-a");
    EXPECT_EQ(orphan.Connect(), -1);
    EXPECT_THROW(orphan.GetActive(), std::runtime_error);
}

TEST_F(DialLineTest, UnreadableParametersAreRecordedWithTheLiteralHashNine) {
    ras.paramsResult = 623;
    auto line = Line();
    EXPECT_EQ(line->Connect(), 623);
    ASSERT_EQ(line->Errors().size(), 1u);
    EXPECT_EQ(line->Errors()[0], "ErrorCode:623#9ErrorMessage:GetEntryDialParams failed");
}

TEST_F(DialLineTest, KeepThreadFollowsKeepActive) {
    auto line = Line(10ms);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(ras.dials, 0) << "held down: never dialled";
    line->KeepActive = true;
    for (int i = 0; i < 200 && ras.dials == 0; ++i) std::this_thread::sleep_for(5ms);
    EXPECT_GT(ras.dials, 0);
    line->KeepActive = false;
    line.reset();  // waits for the keep thread
    const int settled = ras.dials;
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(ras.dials, settled) << "nothing runs after the line is gone";
}

TEST_F(DialLineTest, DestroyingALineWaitsForTheDialInProgress) {
    ras.dialTime = 300ms;
    auto line = Line(5ms);
    line->KeepActive = true;
    for (int i = 0; i < 400 && ras.dials == 0; ++i) std::this_thread::sleep_for(2ms);
    ASSERT_EQ(ras.dials, 1);
    EXPECT_EQ(ras.dialsFinished, 0) << "the dial is still running";
    line.reset();
    EXPECT_EQ(ras.dialsFinished, ras.dials) << "released only after the dial returned";
}

}  // namespace
}  // namespace vorta
