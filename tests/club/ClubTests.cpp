// Heartbeat parsing, the state-change rules and a backup unit hearing datagrams on loopback.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "FakeNetworkTables.h"
#include "TempDir.h"
#include "WaitFor.h"
#include "club/ClubMng.h"
#include "club/ClubUtil.h"
#include "lines/LinesMng.h"

namespace vorta {
namespace {

using namespace std::chrono_literals;
using test::WaitFor;
using States = std::vector<std::uint8_t>;

TEST(Heartbeat, LinesAreReadLastFirstInUpperCase) {
    EXPECT_EQ(HeartbeatStates("active\r\n"), States{kPeerActive});
    EXPECT_EQ(HeartbeatStates("ACTIVE\r\nCLOSE\r\n"), (States{kPeerClosed, kPeerActive}));
    EXPECT_EQ(HeartbeatStates("  Close"), States{kPeerClosed});
    EXPECT_EQ(HeartbeatStates("CLOSE\r\n\r\n\r\nACTIVE\r\n"), (States{kPeerActive, kPeerClosed}));
    EXPECT_EQ(HeartbeatStates("ACTIVE\r\nCLOSE\r\nACTIVE\r\n"), (States{kPeerActive, kPeerClosed}))
        << "only the last two lines count";
    EXPECT_TRUE(HeartbeatStates("hello\r\n").empty());
    EXPECT_TRUE(HeartbeatStates(std::string("\x00\xFF", 2)).empty());
    EXPECT_TRUE(HeartbeatStates("").empty());
}

TEST(Heartbeat, StateIsReportedOnlyWhenItChanges) {
    PeerStateRecord record;
    EXPECT_FALSE(record.Change(kPeerActive)) << "a first ACTIVE equals the initial state";
    EXPECT_TRUE(record.Change(kPeerClosed));
    EXPECT_FALSE(record.Change(kPeerClosed));
    EXPECT_TRUE(record.Change(kPeerSilent));
    EXPECT_FALSE(record.Change(kPeerSilent));
    EXPECT_TRUE(record.Change(kPeerActive));
    EXPECT_EQ(record.Last(), kPeerActive);
}

// A free UDP port on this host.
std::uint16_t FreePort() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

void SendTo(std::uint16_t port, const std::string& text) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::sendto(fd, text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::close(fd);
}

class ClubTest : public ::testing::Test {
protected:
    // Heartbeats stay on loopback: no test broadcasts on the machine's network.
    ClubTest() {
        timing.port = FreePort();
        timing.destination = "127.0.0.1";
    }
    ClubTiming timing;
    test::TempDir dir;
    test::FakeNetworkTables tables;
    TIpRoutes routes{tables};
    LineServices services{routes, nullptr, "", std::chrono::hours(1)};
    TLinesMng lines{
        TLinesMng::Options{dir.path() / kLinesFileName, services, [] { return false; }, 1h}};
};

TEST_F(ClubTest, BackupTurnsHeartbeatsIntoLinesEnabled) {
    TClubMng club(&lines, timing);
    lines.LinesEnabled = 1;
    club.Start(false);
    SendTo(timing.port, "ACTIVE\r\n");
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(lines.LinesEnabled, 1) << "a first ACTIVE changes nothing";
    SendTo(timing.port, "CLOSE\r\n");
    ASSERT_TRUE(WaitFor([&] { return club.LastState().Last() == kPeerClosed; }));
    EXPECT_EQ(lines.LinesEnabled, 1) << "take over";
    SendTo(timing.port, "active\r\n");
    ASSERT_TRUE(WaitFor([&] { return lines.LinesEnabled == 0; })) << "the master is back: release";
    SendTo(timing.port, "ACTIVE\r\nCLOSE\r\n");  // CLOSE read first, then ACTIVE
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(club.LastState().Last(), kPeerActive);
    EXPECT_EQ(lines.LinesEnabled, 0);
}

TEST_F(ClubTest, SilenceCountsAsAMasterThatIsGone) {
    timing.interval = std::chrono::seconds(-4);  // a one-second wait, for the test only
    TClubMng club(&lines, timing);
    lines.LinesEnabled = 0;
    club.Start(false);
    ASSERT_TRUE(WaitFor([&] { return club.LastState().Last() == kPeerSilent; }));
    EXPECT_EQ(lines.LinesEnabled, 1);
}

TEST_F(ClubTest, StartKeepsTheSameRoleAndReplacesAnother) {
    TClubMng club(&lines, timing);
    EXPECT_FALSE(club.Running());
    club.Start(true);
    EXPECT_TRUE(club.Running());
    club.Start(true);  // same role: the running unit stays
    EXPECT_TRUE(club.IsMaster());
    club.Start(false);
    EXPECT_FALSE(club.IsMaster());
    // The port is taken now: a second backup on it cannot start.
    TClubMng other(&lines, timing);
    EXPECT_THROW(other.Start(false), std::runtime_error);
    EXPECT_FALSE(other.Running());
}

TEST_F(ClubTest, MasterSaysCloseWhileItsLinesFailAndTheBackupFollows) {
    TClubMng backup(&lines, timing);
    lines.LinesEnabled = 0;
    backup.Start(false);
    test::TempDir masterDir;
    TLinesMng masterLines(
        TLinesMng::Options{masterDir.path() / kLinesFileName, services, [] { return false; }, 1h});
    masterLines.GroupState = 2;                  // no usable line on the master
    timing.interval = std::chrono::seconds(-1);  // a heartbeat every 0 s + 1 s, for the test only
    TClubMng master(&masterLines, timing);
    master.Start(true);
    ASSERT_TRUE(WaitFor([&] { return backup.LastState().Last() == kPeerClosed; }));
    EXPECT_EQ(lines.LinesEnabled, 1) << "the backup takes over";
    masterLines.GroupState = 0;
    ASSERT_TRUE(WaitFor([&] { return backup.LastState().Last() == kPeerActive; }));
    EXPECT_EQ(lines.LinesEnabled, 0) << "and releases when the master's ACTIVE returns";
}

TEST_F(ClubTest, StoppingABackupDoesNotWaitForADatagram) {
    timing.interval = std::chrono::seconds(3600);
    auto club = std::make_unique<TClubMng>(&lines, timing);
    club->Start(false);
    std::this_thread::sleep_for(50ms);  // the monitor now waits up to an hour
    const auto start = std::chrono::steady_clock::now();
    club.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

}  // namespace
}  // namespace vorta
