// Heartbeat parsing, the state-change rules and a backup unit hearing datagrams on loopback's
// broadcast address.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "FakeNetworkTables.h"
#include "TempDir.h"
#include "WaitFor.h"
#include "club/ClubMng.h"
#include "club/ClubUtil.h"
#include "lines/LinesMng.h"
#include "platform/linux/UdpDatagrams.h"

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

// Loopback's subnet broadcast: a LAN broadcast to a backup, and it never leaves the host.
constexpr in_addr_t kLoopbackBroadcast = 0x7FFFFFFF;

void SendTo(std::uint16_t port, const std::string& text) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(kLoopbackBroadcast);
    ::sendto(fd, text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::close(fd);
}

class ClubTest : public ::testing::Test {
protected:
    // Heartbeats stay on loopback: no test broadcasts on the machine's network.
    ClubTest() {
        timing.port = FreePort();
        timing.destination = "127.255.255.255";
    }
    ClubTiming timing;
    platform::UdpDatagrams datagrams;
    test::TempDir dir;
    test::FakeNetworkTables tables;
    TIpRoutes routes{tables};
    LineServices services{routes, nullptr, "", std::chrono::hours(1)};
    TLinesMng lines{
        TLinesMng::Options{dir.path() / kLinesFileName, services, [] { return false; }, 1h}};
};

TEST_F(ClubTest, BackupTurnsHeartbeatsIntoTheLinesDuty) {
    TClubMng club(&lines, &datagrams, timing);
    lines.Duty = LinesDuty::Carry;
    club.Start(false);
    SendTo(timing.port, "ACTIVE\r\n");
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(lines.Duty.load(), LinesDuty::Carry) << "a first ACTIVE changes nothing";
    SendTo(timing.port, "CLOSE\r\n");
    ASSERT_TRUE(WaitFor([&] { return club.LastState().Last() == kPeerClosed; }));
    EXPECT_EQ(lines.Duty.load(), LinesDuty::Carry) << "take over";
    SendTo(timing.port, "active\r\n");
    ASSERT_TRUE(WaitFor([&] { return lines.Duty == LinesDuty::StandBy; }))
        << "the master is back: release";
    SendTo(timing.port, "ACTIVE\r\nCLOSE\r\n");  // CLOSE read first, then ACTIVE
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(club.LastState().Last(), kPeerActive);
    EXPECT_EQ(lines.Duty.load(), LinesDuty::StandBy);
}

TEST_F(ClubTest, SilenceCountsAsAMasterThatIsGone) {
    timing.interval = std::chrono::seconds(-4);  // a one-second wait, for the test only
    TClubMng club(&lines, &datagrams, timing);
    lines.Duty = LinesDuty::StandBy;
    club.Start(false);
    ASSERT_TRUE(WaitFor([&] { return club.LastState().Last() == kPeerSilent; }));
    EXPECT_EQ(lines.Duty.load(), LinesDuty::Carry);
}

TEST_F(ClubTest, StartKeepsTheSameRoleAndReplacesAnother) {
    TClubMng club(&lines, &datagrams, timing);
    EXPECT_FALSE(club.Running());
    club.Start(true);
    EXPECT_TRUE(club.Running());
    club.Start(true);  // same role: the running unit stays
    EXPECT_TRUE(club.IsMaster());
    club.Start(false);
    EXPECT_FALSE(club.IsMaster());
    EXPECT_TRUE(club.Running());
}

// Under ThreadSanitizer this also catches a role flag written while the old thread reads it.
TEST_F(ClubTest, ABackupReplacedWhileItReportsLeavesTheLinesAlone) {
    TClubMng club(&lines, &datagrams, timing);
    club.Start(false);
    // The master keeps changing its mind, so the backup reports all the time.
    std::jthread master([port = timing.port](std::stop_token stop) {
        while (!stop.stop_requested()) {
            SendTo(port, "CLOSE\r\n");
            SendTo(port, "ACTIVE\r\n");
            std::this_thread::sleep_for(1ms);
        }
    });
    ASSERT_TRUE(WaitFor([&] { return club.LastState().Last() == kPeerClosed; }));
    club.Start(true);  // the role flag changes while the backup's thread may be reporting
    EXPECT_TRUE(club.IsMaster());
    lines.Duty = LinesDuty::Carry;
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(lines.Duty.load(), LinesDuty::Carry)
        << "no report of the old backup comes after Start";
}

TEST_F(ClubTest, MasterSaysCloseWhileItsLinesFailAndTheBackupFollows) {
    TClubMng backup(&lines, &datagrams, timing);
    lines.Duty = LinesDuty::StandBy;
    backup.Start(false);
    test::TempDir masterDir;
    TLinesMng masterLines(
        TLinesMng::Options{masterDir.path() / kLinesFileName, services, [] { return false; }, 1h});
    masterLines.Groups = GroupState::BothFailing;  // no usable line on the master
    timing.interval = std::chrono::seconds(0);     // a heartbeat every second, for the test only
    TClubMng master(&masterLines, &datagrams, timing);
    master.Start(true);
    ASSERT_TRUE(WaitFor([&] { return backup.LastState().Last() == kPeerClosed; }));
    EXPECT_EQ(lines.Duty.load(), LinesDuty::Carry) << "the backup takes over";
    masterLines.Groups = GroupState::MainUp;
    ASSERT_TRUE(WaitFor([&] { return backup.LastState().Last() == kPeerActive; }));
    EXPECT_EQ(lines.Duty.load(), LinesDuty::StandBy)
        << "and releases when the master's ACTIVE returns";
}

TEST_F(ClubTest, StoppingABackupDoesNotWaitForADatagram) {
    timing.interval = std::chrono::seconds(3600);
    auto club = std::make_unique<TClubMng>(&lines, &datagrams, timing);
    club->Start(false);
    std::this_thread::sleep_for(50ms);  // the monitor now waits up to an hour
    const auto start = std::chrono::steady_clock::now();
    club.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

// Holds a UDP port on every local address, as another program would.
class PortHolder {
public:
    explicit PortHolder(std::uint16_t port) : fd_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_ANY);
        held_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~PortHolder() { Release(); }
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;
    bool Held() const { return held_; }
    void Release() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
    bool held_ = false;
};

TEST_F(ClubTest, ABackupWhosePortIsTakenRunsWithoutThePairAndListensOnceItIsFree) {
    PortHolder holder(timing.port);
    ASSERT_TRUE(holder.Held());

    // Stopping does not wait out the pause before the next try.
    ClubTiming hourly = timing;
    hourly.interval = std::chrono::seconds(3600);
    auto idle = std::make_unique<TClubMng>(&lines, &datagrams, hourly);
    idle->Start(false);
    std::this_thread::sleep_for(50ms);
    const auto start = std::chrono::steady_clock::now();
    idle.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);

    timing.interval = std::chrono::seconds(0);  // a try every second, silence after 5 s
    std::mutex mutex;
    std::vector<std::string> told;
    TClubMng club(&lines, &datagrams, timing);
    club.OnPortFailure = [&](const std::string& failure) {
        std::lock_guard lock(mutex);
        told.push_back(failure);
    };
    lines.Duty = LinesDuty::StandBy;
    ASSERT_NO_THROW(club.Start(false));
    EXPECT_TRUE(club.Running());
    const std::string failure = club.PortFailure();
    EXPECT_NE(failure.find(std::to_string(timing.port)), std::string::npos) << failure;
    EXPECT_NE(failure.find("in use"), std::string::npos) << failure;
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(told, std::vector<std::string>{failure}) << "Start itself tells why";
    }

    // Nothing can be heard: silence comes due and the lines go on without the pair.
    ASSERT_TRUE(WaitFor([&] { return lines.Duty == LinesDuty::Carry; }, 10s));
    EXPECT_EQ(club.LastState().Last(), kPeerSilent);
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(told.size(), 1u) << "a failure that stays is told once, not at every try";
    }

    holder.Release();
    ASSERT_TRUE(WaitFor([&] { return club.PortFailure().empty(); }));
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(told, (std::vector<std::string>{failure, ""}));
    }
    SendTo(timing.port, "CLOSE\r\n");
    ASSERT_TRUE(WaitFor([&] { return club.LastState().Last() == kPeerClosed; }));
    SendTo(timing.port, "ACTIVE\r\n");
    EXPECT_TRUE(WaitFor([&] { return lines.Duty == LinesDuty::StandBy; }))
        << "the master is heard again";
}

}  // namespace
}  // namespace vorta
