// The pppd layer with a fake pppd that needs no privileges: failures, entries, credentials,
// stops, and pppds brought up by hand.

#include <gtest/gtest.h>

#include "FakeNetworkTables.h"
#include "PppdSandbox.h"
#include "WaitFor.h"
#include "lines/DialUp.h"

#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <stop_token>
#include <thread>

namespace vorta {
namespace {

using namespace std::chrono_literals;
using test::FakeNetworkTables;
using test::HandStartedPppd;
using test::Ip;
using test::PppdSandbox;
using test::WaitFor;
using Clock = std::chrono::steady_clock;

// A name no other test run on this machine uses: every running pppd is visible to all.
std::string Unique(const std::string& name) {
    return name + "-" + std::to_string(::getpid());
}

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
    EXPECT_NE(args.find("call isp file "), std::string::npos) << args;
    EXPECT_NE(args.find("linkname isp nodetach"), std::string::npos) << args;
    EXPECT_NE(log.find("order: call file linkname nodetach\n"), std::string::npos)
        << "pppd applies options in order: the line's user must come after the peer file's";
    EXPECT_NE(args.find("/vorta-ppp-" + std::to_string(::getpid()) + "-"), std::string::npos)
        << "the file names the process that made it: " << args;
    EXPECT_FALSE(box.CredentialsLeft()) << "the file does not outlive the dial";

    dial.Entry = "missing";
    EXPECT_EQ(dial.Dial(), platform::kRasEntryNotFound);
}

TEST(PppdRemoteAccess, CredentialsGoOnlyIntoAFolderNoOneElseMayEnter) {
    PppdSandbox box;
    box.Peer("isp", "fake-mode fail 19\n");
    FakeNetworkTables tables;
    namespace fs = std::filesystem;
    const fs::path own = box.Paths(FAKE_PPPD).credentialsDir;
    const fs::path open = own.parent_path() / "open";
    fs::create_directory(open);
    fs::permissions(open, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    const fs::path link = own.parent_path() / "link";
    fs::create_directory_symlink(own, link);
    for (const fs::path& dir : {open, link}) {
        platform::PppdPaths paths = box.Paths(FAKE_PPPD);
        paths.credentialsDir = dir;
        platform::PppdRemoteAccess ras(tables, paths);
        TDialUp dial(ras);
        dial.DialMode = TDialMode::dmSync;
        dial.Entry = "isp";
        dial.UserName = "alice";
        dial.UserPwd = "secret";
        EXPECT_THROW(dial.Dial(), std::runtime_error) << dir;
        EXPECT_TRUE(fs::is_empty(own)) << dir;
        EXPECT_TRUE(fs::is_empty(open)) << dir;
        EXPECT_EQ(box.Log("isp"), "") << "pppd was not started";
    }
}

TEST(PppdRemoteAccess, HangUpEndsTheLinkAndWaitsForIt) {
    PppdSandbox box;
    box.Peer("isp", "fake-mode hang\n");
    FakeNetworkTables tables;
    platform::PppdRemoteAccess ras(tables, box.Paths(FAKE_PPPD));
    TDialUp dial(ras);
    dial.Entry = "isp";
    dial.DialMode = TDialMode::dmAsync;
    // The client blocks its stop signals in every thread; pppd must not inherit that.
    sigset_t stops, before;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stops, &before);
    const int dialled = dial.Dial();
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    ASSERT_EQ(dialled, 0);
    const auto pid = static_cast<pid_t>(dial.Handle());
    const auto pidFile = box.temp.path() / "run" / "ppp-isp.pid";
    for (int i = 0; i < 200 && !std::filesystem::exists(pidFile); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(std::filesystem::exists(pidFile));
    int state = 0;
    ASSERT_EQ(ras.GetConnectStatus(pid, state), 0);
    EXPECT_EQ(state, 2) << "running, no address yet";

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(dial.HangUp(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5))
        << "SIGTERM ended it, not the SIGKILL after the grace";
    EXPECT_NE(::kill(pid, 0), 0) << "gone when HangUp returns";
    EXPECT_FALSE(std::filesystem::exists(pidFile)) << "it cleaned up as on SIGTERM";
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

// A synchronous dial of the sandbox's "isp" on a thread of its own, stopped once `ready` holds:
// what it answered, how long it took to answer after the stop, and its pppd.
struct StoppedDial {
    int rc = -1;
    Clock::duration took{};
    pid_t pid = 0;
};
template <typename Ready>
StoppedDial StopDialWhen(PppdSandbox& box, const platform::PppdPaths& paths, Ready ready) {
    FakeNetworkTables tables;
    platform::PppdRemoteAccess ras(tables, paths);
    TDialUp dial(ras);
    dial.DialMode = TDialMode::dmSync;
    dial.Entry = "isp";
    StoppedDial result;
    Clock::time_point returned;
    std::jthread dialing([&](std::stop_token stop) {
        result.rc = dial.Dial(stop);
        returned = Clock::now();
    });
    if (!WaitFor(ready)) ADD_FAILURE() << "the dial never got that far";
    result.pid = box.PidIn("ppp-isp.pid");
    const auto requested = Clock::now();
    dialing.request_stop();
    dialing.join();
    result.took = returned - requested;
    return result;
}

TEST(PppdRemoteAccess, StopEndsADialInProgressWithinASecond) {
    // hang ends on SIGTERM; stubborn ignores it and must be SIGKILLed within the bound, though
    // an ordinary hang-up would give it ten seconds.
    for (const std::string mode : {"hang", "stubborn"}) {
        SCOPED_TRACE(mode);
        PppdSandbox box;
        box.Peer("isp", "fake-mode " + mode + "\n");
        const auto paths = box.Paths(FAKE_PPPD);
        ASSERT_GE(paths.hangUpGrace, 10s);
        const StoppedDial dial =
            StopDialWhen(box, paths, [&] { return box.PidIn("ppp-isp.pid") != 0; });
        EXPECT_LT(dial.took, 1500ms);
        EXPECT_EQ(dial.rc, platform::kRasDialStopped);
        EXPECT_NE(::kill(dial.pid, 0), 0) << "pppd is gone";
        EXPECT_FALSE(box.CredentialsLeft());
        if (mode == "stubborn") {
            EXPECT_NE(box.Log("isp").find("TERM ignored"), std::string::npos)
                << "it took SIGKILL to end";
        }
    }

    // A dial that timed out is still ending its pppd when the stop comes.
    {
        PppdSandbox box;
        box.Peer("isp", "fake-mode stubborn\n");
        auto paths = box.Paths(FAKE_PPPD);
        paths.dialTimeout = 200ms;
        const StoppedDial dial = StopDialWhen(
            box, paths, [&] { return box.Log("isp").find("TERM ignored") != std::string::npos; });
        EXPECT_LT(dial.took, 1500ms);
        EXPECT_EQ(dial.rc, platform::kPppdTimedOut);
        EXPECT_NE(::kill(dial.pid, 0), 0) << "pppd is gone";
    }

    // An asynchronous dial reports the stop.
    PppdSandbox box;
    box.Peer("isp", "fake-mode hang\n");
    FakeNetworkTables tables;
    platform::PppdRemoteAccess ras(tables, box.Paths(FAKE_PPPD));
    TDialUp dial(ras);
    dial.Entry = "isp";
    std::atomic<int> ended{0};
    dial.OnAsyncEvent = [&](int state, int error, const std::string&) {
        if (state == platform::kRasStateDisconnected) ended = error;
    };
    std::stop_source stop;
    ASSERT_EQ(dial.Dial(stop.get_token()), 0);
    ASSERT_TRUE(WaitFor([&] { return box.PidIn("ppp-isp.pid") != 0; }));
    const auto requested = Clock::now();
    stop.request_stop();
    EXPECT_TRUE(WaitFor([&] { return ended != 0; }, 1500ms));
    EXPECT_LT(Clock::now() - requested, 1500ms);
    EXPECT_EQ(ended, platform::kRasDialStopped);
    EXPECT_NE(::kill(static_cast<pid_t>(dial.Handle()), 0), 0) << "pppd is gone";
    EXPECT_TRUE(WaitFor([&] { return !box.CredentialsLeft(); }));
}

TEST(PppdRemoteAccess, PppdStartedByHandIsItsEntrysConnection) {
    // As pon and ifup start it: `pppd call ENTRY`, no linkname, so no ppp-ENTRY.pid. Its
    // interface is named by the RUNDIR/IFNAME.pid file holding its pid, else by the peer file.
    PppdSandbox box;
    const std::string viaPidFile = Unique("isp"), viaUnit = Unique("unit"),
                      viaIfname = Unique("named");
    box.Peer(viaPidFile, "fake-mode iface ppp3\n");
    box.Peer(viaUnit, "unit 4\nfake-mode hang\n");
    box.Peer(viaIfname, "unit 9\nifname dsl0\nfake-mode hang\n");
    FakeNetworkTables tables;
    tables.AddLink("ppp3", 5).bytesSent = 1234;
    tables.AddLink("ppp4", 6);
    tables.AddLink("dsl0", 7);
    tables.addresses = {{Ip("192.0.2.77"), 5, 0xFFFFFFFFu, Ip("192.0.2.1")},
                        {Ip("198.51.100.4"), 6, 0xFFFFFFFFu, Ip("198.51.100.1")},
                        {Ip("203.0.113.9"), 7, 0xFFFFFFFFu, Ip("203.0.113.1")}};
    HandStartedPppd first({FAKE_PPPD, "call", viaPidFile});
    HandStartedPppd second({FAKE_PPPD, "call", viaUnit});
    HandStartedPppd third({FAKE_PPPD, "call", viaIfname});
    ASSERT_TRUE(WaitFor([&] {
        return box.PidIn("ppp3.pid") == first.pid() && box.Runs(viaUnit) == 1 &&
               box.Runs(viaIfname) == 1;
    }));
    platform::PppdRemoteAccess ras(tables, box.Paths(FAKE_PPPD));

    std::vector<platform::RasConnection> connections;
    ASSERT_EQ(ras.EnumConnections(connections), 0);
    const auto handlesOf = [&](const std::string& entry) {
        std::vector<platform::RasHandle> handles;
        for (const auto& connection : connections)
            if (connection.entryName == entry) handles.push_back(connection.handle);
        return handles;
    };
    using Handles = std::vector<platform::RasHandle>;
    EXPECT_EQ(handlesOf(viaPidFile), Handles{static_cast<platform::RasHandle>(first.pid())})
        << "one connection per pppd; its forked child is no second one";
    EXPECT_EQ(handlesOf(viaUnit), Handles{static_cast<platform::RasHandle>(second.pid())});
    EXPECT_EQ(handlesOf(viaIfname), Handles{static_cast<platform::RasHandle>(third.pid())});

    const std::pair<pid_t, std::string> expected[] = {
        {first.pid(), "192.0.2.77"}, {second.pid(), "198.51.100.4"}, {third.pid(), "203.0.113.9"}};
    for (const auto& [pid, address] : expected) {
        int state = 0;
        EXPECT_EQ(ras.GetConnectStatus(pid, state), 0);
        EXPECT_EQ(state, platform::kRasStateConnected);
        std::string client, server;
        EXPECT_EQ(ras.GetProjection(pid, client, server), 0);
        EXPECT_EQ(client, address);
    }
    platform::RasCounters counters;
    ASSERT_TRUE(ras.ReadCounters(first.pid(), counters));
    EXPECT_EQ(counters.bytesSent, 1234u);
    EXPECT_EQ(ras.HangUp(first.pid()), platform::kRasInvalidHandle)
        << "a link brought up by other means is not this client's to end";
}

TEST(PppdRemoteAccess, CredentialsLeftByEndedRunsAreRemovedAtStart) {
    PppdSandbox box;
    const auto dir = box.temp.path() / "credentials";
    pid_t ended = 0;
    char* trueArgs[] = {const_cast<char*>("true"), nullptr};
    ASSERT_EQ(::posix_spawnp(&ended, "true", nullptr, nullptr, trueArgs, environ), 0);
    ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
    const std::string endedRun = "vorta-ppp-" + std::to_string(ended) + "-Xy12Zz";
    const std::string unnamedRun = "vorta-ppp-Ab12Cd";     // from before files named their run
    const std::string otherClient = "vorta-ppp-1-Qw12Er";  // pid 1 is always there
    const std::string ownRun = "vorta-ppp-" + std::to_string(::getpid()) + "-Zz99Yy";
    const std::string unrelated = "notes";
    for (const auto& name : {endedRun, unnamedRun, otherClient, ownRun, unrelated})
        std::ofstream(dir / name) << "user \"u\"\npassword \"p\"\n";

    FakeNetworkTables tables;
    platform::PppdRemoteAccess ras(tables, box.Paths(FAKE_PPPD));
    EXPECT_FALSE(std::filesystem::exists(dir / endedRun));
    EXPECT_FALSE(std::filesystem::exists(dir / unnamedRun));
    EXPECT_TRUE(std::filesystem::exists(dir / otherClient)) << "a live client's dial";
    EXPECT_TRUE(std::filesystem::exists(dir / ownRun));
    EXPECT_TRUE(std::filesystem::exists(dir / unrelated));
}

TEST(PppdPaths, FromEnvironmentTakesTheVariablesThatAreSet) {
    const char* variables[] = {"VORTA_PPPD", "VORTA_PPP_PEERS_DIR", "VORTA_PPP_RUN_DIR"};
    for (const char* variable : variables) ::unsetenv(variable);
    const platform::PppdPaths defaults;
    auto paths = platform::PppdPaths::FromEnvironment();
    EXPECT_EQ(paths.program, defaults.program);
    EXPECT_EQ(paths.peersDir, defaults.peersDir);
    EXPECT_EQ(paths.runDir, defaults.runDir);

    ::setenv("VORTA_PPPD", "/opt/lab/fake-pppd", 1);
    ::setenv("VORTA_PPP_PEERS_DIR", "/opt/lab/peers", 1);
    ::setenv("VORTA_PPP_RUN_DIR", "", 1);
    paths = platform::PppdPaths::FromEnvironment();
    EXPECT_EQ(paths.program, "/opt/lab/fake-pppd");
    EXPECT_EQ(paths.peersDir, "/opt/lab/peers");
    EXPECT_EQ(paths.runDir, defaults.runDir) << "an empty variable is not set";
    ::setenv("VORTA_PPP_RUN_DIR", "/opt/lab/run", 1);
    EXPECT_EQ(platform::PppdPaths::FromEnvironment().runDir, "/opt/lab/run");
    for (const char* variable : variables) ::unsetenv(variable);
}

}  // namespace
}  // namespace vorta
