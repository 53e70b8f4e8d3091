// The heartbeat's limited broadcast against a real kernel: a host with a LAN and a default
// gateway, the socket's do-not-route option on; and what a backup takes for a heartbeat when
// another host on its LAN sends one, and that it takes nothing its own host sends.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <utility>

#include "NetLab.h"
#include "WaitFor.h"
#include "club/ClubMng.h"
#include "platform/linux/UdpDatagrams.h"

namespace vorta::lab {
namespace {

using namespace std::chrono_literals;

class ClubLab : public NetLabTest {
protected:
    void SetUp() override {
        NetLabTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        Veth("lan0");
        ASSERT_TRUE(Sh("ip addr add 192.0.2.10/24 dev lan0"));
        ASSERT_TRUE(Sh("ip route add default via 192.0.2.1 dev lan0"));
        Veth("down0");
        ASSERT_TRUE(Sh("ip addr add 198.51.100.10/24 dev down0 && ip link set down0 down"));
    }
};

TEST_F(ClubLab, BroadcastLeavesThroughTheLanDespiteDoNotRoute) {
    platform::UdpDatagrams datagrams;
    std::error_code error;
    const auto receiver = datagrams.Bind(46666, error);
    ASSERT_NE(receiver, nullptr) << error.message();
    const auto sender = datagrams.Open();
    ASSERT_NE(sender, nullptr);

    EXPECT_EQ(sender->SendBroadcast(46666, "ACTIVE\r\n"), 8);
    std::array<char, 64> buffer{};
    platform::Datagram got;
    ASSERT_EQ(receiver->Receive(5s, got, buffer), platform::Receipt::Datagram);
    EXPECT_EQ(std::string(buffer.data(), got.length), "ACTIVE\r\n");
    EXPECT_EQ(got.sender, "192.0.2.10");

    // A datagram addressed to the limited broadcast takes the same way.
    EXPECT_EQ(sender->SendTo(platform::kLimitedBroadcast, 46666, "CLOSE\r\n"), 7);
    ASSERT_EQ(receiver->Receive(5s, got, buffer), platform::Receipt::Datagram);
    EXPECT_EQ(std::string(buffer.data(), got.length), "CLOSE\r\n");
}

TEST_F(ClubLab, NoBroadcastInterfaceIsAFailure) {
    ASSERT_TRUE(Sh("ip link set lan0 down"));
    platform::UdpDatagrams datagrams;
    const auto sender = datagrams.Open();
    ASSERT_NE(sender, nullptr);
    EXPECT_EQ(sender->SendBroadcast(46666, "CLOSE\r\n"), -1);
}

// A file descriptor closed with its owner.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    int Get() const { return fd_; }

private:
    int fd_;
};

// A UDP socket of the calling thread's host bound to `source`, allowed to broadcast.
Fd BroadcastSocket(const std::string& source) {
    Fd s(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    const int on = 1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    if (::setsockopt(s.Get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0 &&
        ::inet_pton(AF_INET, source.c_str(), &addr.sin_addr) == 1 &&
        ::bind(s.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0)
        return s;
    return Fd();
}

// Another host on a link of the lab: a network namespace of its own, entered by threads made
// for the purpose, so the test's thread stays in the lab.
class LanHost {
public:
    LanHost() {
        std::jthread([this] {
            if (::unshare(CLONE_NEWNET) == 0)
                ns_ = Fd(::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC));
        }).join();
    }
    bool Made() const { return ns_.Get() >= 0; }
    // Where `ip link set DEV netns` finds it.
    std::string Path() const {
        return "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(ns_.Get());
    }
    bool Sh(const std::string& command) {
        bool done = false;
        Inside([&] { done = lab::Sh(command); });
        return done;
    }
    // A UDP socket of this host bound to `source`, allowed to broadcast.
    Fd UdpSocket(const std::string& source) {
        Fd socket;
        Inside([&] { socket = BroadcastSocket(source); });
        return socket;
    }

private:
    void Inside(const std::function<void()>& work) {
        std::jthread([&] {
            if (::setns(ns_.Get(), CLONE_NEWNET) == 0) work();
        }).join();
    }
    Fd ns_;
};

long SendTo(const Fd& socket, const std::string& to, std::uint16_t port, const std::string& text) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    if (::inet_pton(AF_INET, to.c_str(), &addr.sin_addr) != 1) return -1;
    return ::sendto(socket.Get(), text.data(), text.size(), 0,
                    reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
}

TEST_F(ClubLab, ABackupHearsOnlyBroadcastsFromItsLan) {
    // 203.0.113.0/24 is this host's too, but on another link: no sender there is on lan0's LAN.
    Veth("side0");
    ASSERT_TRUE(Sh("ip addr add 203.0.113.10/24 dev side0"));
    // Reverse-path filtering would drop such a sender before the backup could judge it.
    ASSERT_TRUE(Sh("sysctl -qw net.ipv4.conf.all.rp_filter=0 net.ipv4.conf.lan0.rp_filter=0"));
    LanHost peer;
    ASSERT_TRUE(peer.Made());
    ASSERT_TRUE(Sh("ip link set lan0p netns " + peer.Path()));
    ASSERT_TRUE(
        peer.Sh("ip link set lo up && ip link set lan0p up && "
                "ip addr add 192.0.2.20/24 dev lan0p && "
                "ip addr add 203.0.113.20/24 dev lan0p"));
    const Fd inLan = peer.UdpSocket("192.0.2.20");
    const Fd outside = peer.UdpSocket("203.0.113.20");
    ASSERT_GE(inLan.Get(), 0);
    ASSERT_GE(outside.Get(), 0);

    ClubTiming timing;
    timing.port = 46666;
    timing.interval = std::chrono::hours(1);  // no silence during the test
    platform::UdpDatagrams datagrams;
    TClubMng backup(nullptr, &datagrams, timing);
    backup.Start(false);
    ASSERT_EQ(backup.PortFailure(), "");

    ASSERT_EQ(SendTo(inLan, "192.0.2.255", timing.port, "CLOSE\r\n"), 7);
    ASSERT_TRUE(test::WaitFor([&] { return backup.LastState().Last() == kPeerClosed; }))
        << "a broadcast to lan0's subnet from inside it is a heartbeat";
    // The backup's host takes another address while the backup runs: it is its own at once.
    ASSERT_TRUE(Sh("ip addr add 192.0.2.12/24 dev lan0"));
    const Fd self = BroadcastSocket("192.0.2.12");
    ASSERT_GE(self.Get(), 0);

    struct Ignored {
        const char* what;
        const Fd& from;
        const char* to;
        std::string text;
    };
    const Ignored ignored[] = {
        {"a datagram to this host alone", inLan, "192.0.2.10", "ACTIVE\r\n"},
        {"a broadcast from outside lan0's subnet", outside, "255.255.255.255", "ACTIVE\r\n"},
        {"an empty broadcast", inLan, "192.0.2.255", ""},
        {"a broadcast from the backup's own host", self, "192.0.2.255", "ACTIVE\r\n"},
    };
    std::uint64_t count = 0;
    for (const Ignored& datagram : ignored) {
        ASSERT_EQ(SendTo(datagram.from, datagram.to, timing.port, datagram.text),
                  static_cast<long>(datagram.text.size()))
            << datagram.what;
        ++count;
        EXPECT_TRUE(test::WaitFor([&] { return backup.IgnoredDatagrams() == count; }))
            << datagram.what << " should be ignored and counted";
        EXPECT_EQ(backup.LastState().Last(), kPeerClosed) << datagram.what;
    }

    ASSERT_EQ(SendTo(inLan, "255.255.255.255", timing.port, "ACTIVE\r\n"), 8);
    EXPECT_TRUE(test::WaitFor([&] { return backup.LastState().Last() == kPeerActive; }))
        << "a limited broadcast from the LAN is a heartbeat";
    EXPECT_EQ(backup.IgnoredDatagrams(), 4u);
}

}  // namespace
}  // namespace vorta::lab
