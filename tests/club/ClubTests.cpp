// Heartbeat parsing, the state-change rules, the judgement of senders and a backup unit hearing
// datagrams on loopback's broadcast address.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
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
#include "platform/InterfaceCache.h"
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
    EXPECT_TRUE(record.Change(kPeerActive)) << "a first ACTIVE is news: nothing was heard before";
    record.Forget();
    EXPECT_TRUE(record.Change(kPeerClosed)) << "and so is a first CLOSE";
    EXPECT_TRUE(record.Change(kPeerActive));
    EXPECT_FALSE(record.Change(kPeerActive));
    EXPECT_TRUE(record.Change(kPeerClosed));
    EXPECT_FALSE(record.Change(kPeerClosed));
    EXPECT_TRUE(record.Change(kPeerSilent));
    EXPECT_FALSE(record.Change(kPeerSilent));
    EXPECT_TRUE(record.Change(kPeerActive));
    EXPECT_EQ(record.Last(), kPeerActive);
}

std::uint32_t Ip(const char* text) {
    in_addr address{};
    ::inet_pton(AF_INET, text, &address);
    return ntohl(address.s_addr);
}

platform::Datagram Arrived(const char* sender, const char* destination, unsigned index) {
    platform::Datagram datagram;
    datagram.length = 8;
    datagram.sender = sender;
    datagram.senderAddress = Ip(sender);
    datagram.destination = Ip(destination);
    datagram.interfaceIndex = index;
    return datagram;
}

TEST(HeartbeatSenders, OnlyOtherHostsOnTheLanCountAndTheTableIsReadOnlyWhenItMayHaveChanged) {
    // This host is 192.0.2.10/24 on interface 2.
    std::vector<platform::Ip4Interface> table{
        {2, true, {{Ip("192.0.2.10"), 0xFFFFFF00u, Ip("192.0.2.255")}}}};
    platform::InterfaceCache cache([&] { return table; }, std::chrono::hours(1));
    EXPECT_TRUE(cache.IsLanBroadcast(Arrived("192.0.2.20", "255.255.255.255", 2)));
    EXPECT_TRUE(cache.IsLanBroadcast(Arrived("192.0.2.20", "192.0.2.255", 2)));
    EXPECT_FALSE(cache.IsLanBroadcast(Arrived("192.0.2.10", "255.255.255.255", 2)))
        << "any user of this host can send from its address";
    EXPECT_FALSE(cache.IsLanBroadcast(Arrived("192.0.2.20", "192.0.2.10", 2))) << "no broadcast";
    EXPECT_FALSE(cache.IsLanBroadcast(Arrived("203.0.113.20", "255.255.255.255", 2)))
        << "a sender outside the interface's subnet";
    EXPECT_FALSE(cache.IsLanBroadcast(Arrived("192.0.2.20", "255.255.255.255", 7)))
        << "an interface the table lacks";
    EXPECT_EQ(cache.Reads(), 1u) << "within the re-read period nothing is read again";

    // The host takes another address; the system's notice makes it this host's at once.
    table[0].subnets.push_back({Ip("192.0.2.11"), 0xFFFFFF00u, Ip("192.0.2.255")});
    cache.Invalidate();
    EXPECT_FALSE(cache.IsLanBroadcast(Arrived("192.0.2.11", "255.255.255.255", 2)));
    EXPECT_EQ(cache.Reads(), 2u);

    // Without notices: read again for a sender that is not this host's or an unknown interface,
    // not for this host's own datagrams.
    platform::InterfaceCache unnoticed([&] { return table; }, std::chrono::milliseconds(0));
    EXPECT_FALSE(unnoticed.IsLanBroadcast(Arrived("192.0.2.10", "255.255.255.255", 2)));
    EXPECT_FALSE(unnoticed.IsLanBroadcast(Arrived("192.0.2.11", "255.255.255.255", 2)));
    EXPECT_EQ(unnoticed.Reads(), 1u) << "a flood from this host costs no reading";
    EXPECT_TRUE(unnoticed.IsLanBroadcast(Arrived("192.0.2.20", "255.255.255.255", 2)));
    EXPECT_FALSE(unnoticed.IsLanBroadcast(Arrived("192.0.2.20", "255.255.255.255", 7)));
    EXPECT_EQ(unnoticed.Reads(), 3u);
}

// The system's sockets, with loopback taken for a LAN on which this host is 127.0.0.254: the
// tests' datagrams from 127.0.0.1 come from another host, as a master's would.
class LoopbackLan final : public platform::IDatagrams {
public:
    std::unique_ptr<platform::IUdpSocket> Open() override { return system_.Open(); }
    std::unique_ptr<platform::IUdpSocket> Bind(std::uint16_t port,
                                               std::error_code& error) override {
        return system_.Bind(port, error);
    }
    std::unique_ptr<platform::IWakeup> MakeWakeup() override { return system_.MakeWakeup(); }
    bool IsLanBroadcast(const platform::Datagram& datagram) override {
        return lan_.IsLanBroadcast(datagram);
    }

private:
    platform::UdpDatagrams system_;
    platform::InterfaceCache lan_{[] {
        return std::vector<platform::Ip4Interface>{
            {::if_nametoindex("lo"), false, {{Ip("127.0.0.254"), 0xFF000000u, 0}}}};
    }};
};

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
    LoopbackLan datagrams;
    test::TempDir dir;
    test::FakeNetworkTables tables;
    TIpRoutes routes{tables};
    LineServices services{routes, nullptr, "", std::chrono::hours(1)};
    TLinesMng lines{
        TLinesMng::Options{dir.path() / kLinesFileName, services, [] { return false; }, 1h}};
};

TEST_F(ClubTest, BackupTurnsHeartbeatsIntoTheLinesDuty) {
    TClubMng club(&lines, &datagrams, timing);
    lines.Duty = LinesDuty::StandBy;
    club.Start(false);
    EXPECT_EQ(lines.Duty.load(), LinesDuty::Carry) << "nothing heard yet: the lines carry";
    EXPECT_EQ(club.LastState().Last(), kPeerUnknown);
    SendTo(timing.port, "ACTIVE\r\n");
    ASSERT_TRUE(WaitFor([&] { return lines.Duty == LinesDuty::StandBy; }))
        << "a master already there: its first ACTIVE releases the lines";
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

    // A new backup unit has heard nothing again: its first CLOSE is reported, the lines carry.
    club.Start(true);
    club.Start(false);
    EXPECT_EQ(club.LastState().Last(), kPeerUnknown);
    EXPECT_EQ(lines.Duty.load(), LinesDuty::Carry);
    SendTo(timing.port, "CLOSE\r\n");
    ASSERT_TRUE(WaitFor([&] { return club.LastState().Last() == kPeerClosed; }));
    EXPECT_EQ(lines.Duty.load(), LinesDuty::Carry);
}

// A port on which datagrams that no backup takes arrive without end.
class FloodedPort final : public platform::IDatagrams {
public:
    std::unique_ptr<platform::IUdpSocket> Open() override { return nullptr; }
    std::unique_ptr<platform::IUdpSocket> Bind(std::uint16_t, std::error_code&) override {
        return std::make_unique<Socket>();
    }
    std::unique_ptr<platform::IWakeup> MakeWakeup() override { return nullptr; }
    bool IsLanBroadcast(const platform::Datagram&) override { return false; }

private:
    struct Socket final : platform::IUdpSocket {
        int SendBroadcast(std::uint16_t, std::string_view) override { return -1; }
        int SendTo(const std::string&, std::uint16_t, std::string_view) override { return -1; }
        platform::Receipt Receive(std::chrono::milliseconds, platform::Datagram& datagram,
                                  std::span<char> buffer, const platform::IWakeup*) override {
            std::this_thread::sleep_for(1ms);
            datagram = Arrived("127.0.0.1", "127.255.255.255", 1);
            std::copy_n("ACTIVE\r\n", 8, buffer.begin());
            return platform::Receipt::Datagram;
        }
    };
};

TEST_F(ClubTest, SilenceCountsAsAMasterThatIsGoneWhateverElseFloodsThePort) {
    timing.interval = std::chrono::seconds(-4);  // a one-second wait, for the test only
    TClubMng club(&lines, &datagrams, timing);
    club.Start(false);
    SendTo(timing.port, "ACTIVE\r\n");
    ASSERT_TRUE(WaitFor([&] { return lines.Duty == LinesDuty::StandBy; }));
    ASSERT_TRUE(WaitFor([&] { return club.LastState().Last() == kPeerSilent; }));
    EXPECT_EQ(lines.Duty.load(), LinesDuty::Carry);

    // Each datagram is ignored, and silence comes due all the same.
    FloodedPort flooded;
    TClubMng floodedClub(&lines, &flooded, timing);
    floodedClub.Start(false);
    EXPECT_TRUE(WaitFor([&] { return floodedClub.LastState().Last() == kPeerSilent; }));
    EXPECT_GT(floodedClub.IgnoredDatagrams(), 0u);
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

TEST_F(ClubTest, MasterTellsItsLinesStateOnlyOnceItsLinesManagerKnowsIt) {
    std::mutex mutex;
    std::vector<std::uint8_t> heard;
    PeerStateRecord record;
    TClubUnit backup(false, &datagrams, timing, record);
    backup.OnPeerState = [&](TClubUnit&, const std::string&, std::uint8_t state) {
        std::lock_guard lock(mutex);
        heard.push_back(state);
    };
    backup.StartMonitor();
    const auto last = [&] {
        std::lock_guard lock(mutex);
        return heard.empty() ? kPeerUnknown : heard.back();
    };

    // The master's one necessary line has no route: its group fails, but the lines manager
    // says so only at the end of its first pass.
    tables.AddLink("eth0", 2);
    TLineInfo line;
    line.LineKind = 3;
    line.EntryName = "eth0";
    line.IsNecessary = true;
    line.LineID = NewLineId();
    test::TempDir masterDir;
    TLinesMng masterLines(
        TLinesMng::Options{masterDir.path() / kLinesFileName, services, [] { return false; }, 5ms});
    ASSERT_TRUE(masterLines.AddLineInfo(line));
    timing.interval = std::chrono::seconds(0);  // a heartbeat every second, for the test only
    TClubMng master(&masterLines, &datagrams, timing);
    master.Start(true);
    ASSERT_TRUE(WaitFor([&] { return last() != kPeerUnknown; }));
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(heard, std::vector<std::uint8_t>{kPeerClosed})
            << "the first heartbeat tells what the first pass found";
    }
    EXPECT_TRUE(masterLines.FirstPassDone());
    tables.AddRoute({0, 0, test::Ip("198.51.100.1"), 2});
    EXPECT_TRUE(WaitFor([&] { return last() == kPeerActive; })) << "the line is up again";
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
    ASSERT_TRUE(WaitFor([&] { return club.LastState().Last() == kPeerSilent; }, 10s));
    EXPECT_EQ(lines.Duty.load(), LinesDuty::Carry);
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
