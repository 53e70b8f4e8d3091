// The dial-up line over a fake remote access layer, and keep threads following KeepActive;
// then over the pppd layer with a fake pppd.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <thread>

#include "FakeNetworkTables.h"
#include "FakeRemoteAccess.h"
#include "PppdSandbox.h"
#include "WaitFor.h"
#include "lines/LDailx.h"

namespace vorta {
namespace {

using namespace std::chrono_literals;

class DialLineTest : public ::testing::Test {
protected:
    std::shared_ptr<TDailLine> Line(std::chrono::milliseconds period = std::chrono::hours(1)) {
        // The lines share the services by reference and their keep threads read the period.
        if (period != services.keepPeriod) services.keepPeriod = period;
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

TEST_F(DialLineTest, ConnectDialsTheEntryInAnyLetterCaseByItsOwnSpelling) {
    ras.entries = {"ISP-A", "isp-a"};  // peer file names are case-sensitive
    auto line = Line();
    line->SetEntryName("Isp-A");
    auto exact = Line();
    exact->SetEntryName("isp-a");

    EXPECT_EQ(line->Connect(), 0);
    EXPECT_EQ(ras.dialed.entryName, "ISP-A") << "pppd finds the peer file by its exact name";
    EXPECT_EQ(ras.dialed.userName, "u");
    EXPECT_EQ(line->GetIpAddress(), "192.0.2.77");
    ras.SetConnections({{42, "ISP-A"}});
    EXPECT_TRUE(line->GetActive()) << "the link dialled in the entry's spelling is the line's";

    EXPECT_EQ(exact->Connect(), 0);
    EXPECT_EQ(ras.dialed.entryName, "isp-a") << "an exact match wins";
    EXPECT_FALSE(exact->GetActive()) << "the other entry's link is not this line's";
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

// The line over the pppd layer; the fake pppd runs as the test's own user.
class DialLineOnPppd : public ::testing::Test {
protected:
    std::shared_ptr<TDailLine> Line(const std::string& entry) {
        auto line = std::make_shared<TDailLine>(services);
        line->Initialize();
        line->SetEntryName(entry);
        line->SetUserName("u");
        line->SetPassword("p");
        line->KeepActive = true;
        return line;
    }
    test::PppdSandbox box;
    test::FakeNetworkTables tables;
    TIpRoutes routes{tables};
    platform::PppdRemoteAccess pppd{tables, box.Paths(FAKE_PPPD)};
    LineServices services{routes, &pppd, "", 10ms};
};

TEST_F(DialLineOnPppd, DeletingALineEndsItsDialWithinASecond) {
    box.Peer("isp", "fake-mode hang\n");  // never comes up
    auto line = Line("isp");
    ASSERT_TRUE(test::WaitFor([&] { return box.PidIn("ppp-isp.pid") != 0; }));
    const pid_t dialled = box.PidIn("ppp-isp.pid");
    const auto start = std::chrono::steady_clock::now();
    line.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
    EXPECT_NE(::kill(dialled, 0), 0) << "pppd is gone";
    EXPECT_FALSE(box.CredentialsLeft());
    EXPECT_EQ(box.Runs("isp"), 1);
}

TEST_F(DialLineOnPppd, LinkBroughtUpByHandIsTheLinesConnection) {
    // Every running pppd is visible to all: a name of this run's own.
    const std::string entry = "isp-" + std::to_string(::getpid());
    box.Peer(entry, "fake-mode iface ppp3\n");
    tables.AddLink("ppp3", 5);
    tables.addresses = {{test::Ip("192.0.2.77"), 5, 0xFFFFFFFFu, test::Ip("192.0.2.1")}};
    test::HandStartedPppd pon({FAKE_PPPD, "call", entry});  // no linkname, as pon runs it
    ASSERT_TRUE(test::WaitFor([&] { return box.PidIn("ppp3.pid") == pon.pid(); }));

    auto line = Line(entry);
    EXPECT_TRUE(test::WaitFor([&] { return line->GetIpAddress() == "192.0.2.77"; }));
    std::this_thread::sleep_for(300ms);  // passes that would dial if the link went unseen
    EXPECT_TRUE(line->GetActive());
    EXPECT_EQ(box.Runs(entry), 1) << "no second pppd was started";
    line.reset();
}

}  // namespace
}  // namespace vorta
