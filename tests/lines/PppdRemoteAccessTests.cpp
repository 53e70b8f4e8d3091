// The pppd layer with a fake pppd that needs no privileges: failures, entries, credentials.

#include <gtest/gtest.h>

#include "FakeNetworkTables.h"
#include "PppdSandbox.h"
#include "lines/DialUp.h"

#include <signal.h>

namespace vorta {
namespace {

using test::FakeNetworkTables;
using test::PppdSandbox;

TEST(PppdRemoteAccess, MissingPppdRaisesAClearError) {
    PppdSandbox box;
    FakeNetworkTables tables;
    platform::PppdRemoteAccess ras(tables, box.Paths("/nonexistent/pppd"));
    std::vector<std::string> entries;
    try {
        ras.EnumEntries(entries);
        FAIL() << "no error raised";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("pppd is not installed"), std::string::npos)
            << e.what();
    }
}

TEST(PppdRemoteAccess, EntriesAreThePeerFilesWithTheirStoredUser) {
    PppdSandbox box;
    box.Peer("isp-b", "user \"stored\"\n");
    box.Peer("isp-a", "noauth\n");
    FakeNetworkTables tables;
    platform::PppdRemoteAccess ras(tables, box.Paths(FAKE_PPPD));
    TDialUp dial(ras);
    std::vector<std::string> seen;
    dial.OnEntryGet = [&](const std::string& name) { seen.push_back(name); };
    ASSERT_EQ(dial.GetEntries(), 0);
    EXPECT_EQ(dial.Entries(), (std::vector<std::string>{"isp-a", "isp-b"}));
    EXPECT_EQ(seen, dial.Entries());
    platform::RasDialParams params{"isp-b", {}, {}};
    ASSERT_EQ(ras.GetEntryDialParams(params), 0);
    EXPECT_EQ(params.userName, "stored");
    params.entryName = "../peers/isp-b";
    EXPECT_EQ(ras.GetEntryDialParams(params), platform::kRasEntryNotFound);
}

TEST(PppdRemoteAccess, FailedDialReportsPppdsReasonAndLeavesNoCredentials) {
    PppdSandbox box;
    box.Peer("isp", "user \"stored\"\nfake-mode fail 19\n");
    FakeNetworkTables tables;
    platform::PppdRemoteAccess ras(tables, box.Paths(FAKE_PPPD));
    TDialUp dial(ras);
    dial.DialMode = TDialMode::dmSync;
    dial.Entry = "isp";
    dial.UserName = "alice";
    dial.UserPwd = "p\"w d";
    std::pair<int, std::string> failure;
    dial.OnNotConnected = [&](int code, const std::string& text) { failure = {code, text}; };
    EXPECT_EQ(dial.Dial(), platform::kPppdExitBase + 19);
    EXPECT_EQ(failure.first, platform::kPppdExitBase + 19);
    EXPECT_EQ(failure.second, "Authentication failed: the user name or password was refused.");

    const std::string log = box.Log("isp");
    EXPECT_EQ(log.substr(0, 4), "600\n") << "readable by the owner alone";
    EXPECT_NE(log.find("user \"alice\"\npassword \"p\\\"w d\"\n"), std::string::npos) << log;
    const std::string args = log.substr(log.find("args: "));
    EXPECT_EQ(args.find("alice"), std::string::npos) << "credentials never on the command line";
    EXPECT_NE(args.find("call isp linkname isp nodetach"), std::string::npos) << args;
    EXPECT_FALSE(box.CredentialsLeft()) << "the file does not outlive the dial";

    dial.Entry = "missing";
    EXPECT_EQ(dial.Dial(), platform::kRasEntryNotFound);
}

TEST(PppdRemoteAccess, HangUpEndsTheLinkAndWaitsForIt) {
    PppdSandbox box;
    box.Peer("isp", "fake-mode hang\n");
    FakeNetworkTables tables;
    platform::PppdRemoteAccess ras(tables, box.Paths(FAKE_PPPD));
    TDialUp dial(ras);
    dial.Entry = "isp";
    dial.DialMode = TDialMode::dmAsync;
    ASSERT_EQ(dial.Dial(), 0);
    const auto pid = static_cast<pid_t>(dial.Handle());
    const auto pidFile = box.temp.path() / "run" / "ppp-isp.pid";
    for (int i = 0; i < 200 && !std::filesystem::exists(pidFile); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(std::filesystem::exists(pidFile));
    int state = 0;
    ASSERT_EQ(ras.GetConnectStatus(pid, state), 0);
    EXPECT_EQ(state, 2) << "running, no address yet";

    EXPECT_EQ(dial.HangUp(), 0);
    EXPECT_NE(::kill(pid, 0), 0) << "gone when HangUp returns";
    EXPECT_FALSE(std::filesystem::exists(pidFile));
    EXPECT_EQ(ras.GetConnectStatus(pid, state), platform::kRasInvalidHandle);
}

TEST(PppdRemoteAccess, LinkThatNeverComesUpTimesOut) {
    PppdSandbox box;
    box.Peer("isp", "fake-mode hang\n");
    FakeNetworkTables tables;
    auto paths = box.Paths(FAKE_PPPD);
    paths.dialTimeout = std::chrono::milliseconds(300);
    platform::PppdRemoteAccess ras(tables, paths);
    TDialUp dial(ras);
    dial.Entry = "isp";
    dial.DialMode = TDialMode::dmSync;
    EXPECT_EQ(dial.Dial(), platform::kPppdTimedOut);
    int state = 0;
    EXPECT_EQ(ras.GetConnectStatus(dial.Handle(), state), platform::kRasInvalidHandle);
    EXPECT_FALSE(box.CredentialsLeft());
}

}  // namespace
}  // namespace vorta
