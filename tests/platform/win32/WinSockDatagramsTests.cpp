// UDP datagrams over WinSock on loopback, and the WinSock session.

#include <gtest/gtest.h>
#include <winsock2.h>

#include <array>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "platform/win32/UniqueSocket.h"
#include "platform/win32/WinSockDatagrams.h"

namespace vorta::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kLoopback = 0x7F000001u;

// A UDP port free at the time of the call.
std::uint16_t FreePort() {
    const WinSockSession session;
    UniqueSocket probe(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(kLoopback);
    int length = sizeof addr;
    if (!probe.valid() || ::bind(probe.get(), reinterpret_cast<sockaddr*>(&addr), length) != 0 ||
        getsockname(probe.get(), reinterpret_cast<sockaddr*>(&addr), &length) != 0)
        return 0;
    return ntohs(addr.sin_port);
}

class WinSockDatagramsTest : public ::testing::Test {
protected:
    void SetUp() override {
        port = FreePort();
        ASSERT_NE(port, 0);
        std::error_code error;
        receiver = datagrams.Bind(port, error);
        ASSERT_TRUE(receiver) << error.message();
        sender = datagrams.Open();
        ASSERT_TRUE(sender);
    }
    Receipt Receive(std::chrono::milliseconds timeout, const IWakeup* wakeup = nullptr) {
        return receiver->Receive(timeout, datagram, buffer, wakeup);
    }
    std::string Received() const { return std::string(buffer.data(), datagram.length); }

    WinSockDatagrams datagrams;
    std::uint16_t port = 0;
    std::unique_ptr<IUdpSocket> receiver;
    std::unique_ptr<IUdpSocket> sender;
    Datagram datagram;
    std::array<char, 64> buffer{};
};

TEST_F(WinSockDatagramsTest, ReceiptsTellSenderDestinationAndInterface) {
    ASSERT_EQ(sender->SendTo("127.0.0.1", port, "ACTIVE\r\n"), 8);
    ASSERT_EQ(Receive(5s), Receipt::Datagram);
    EXPECT_EQ(Received(), "ACTIVE\r\n");
    EXPECT_EQ(datagram.sender, "127.0.0.1");
    EXPECT_EQ(datagram.senderAddress, kLoopback);
    EXPECT_EQ(datagram.destination, kLoopback);
    EXPECT_NE(datagram.interfaceIndex, 0u);
    EXPECT_FALSE(datagrams.IsLanBroadcast(datagram)) << "addressed to one host";

    ASSERT_EQ(sender->SendTo("127.0.0.1", port, ""), 0);
    ASSERT_EQ(Receive(5s), Receipt::Datagram);
    EXPECT_EQ(datagram.length, 0u) << "an empty datagram";

    ASSERT_EQ(sender->SendTo("127.0.0.1", port, "0123456789"), 10);
    std::array<char, 4> small{};
    ASSERT_EQ(receiver->Receive(5s, datagram, small), Receipt::Datagram);
    EXPECT_EQ(datagram.length, 4u) << "cut at the buffer's size";
    EXPECT_EQ(std::string(small.data(), 4), "0123");
    EXPECT_EQ(datagram.sender, "127.0.0.1");

    EXPECT_EQ(sender->SendTo("127.0.0.256", port, "x"), -1);
    EXPECT_EQ(sender->SendTo("localhost", port, "x"), -1);
}

TEST_F(WinSockDatagramsTest, OnlyABroadcastFromAnotherHostOnTheSubnetIsALanBroadcast) {
    ASSERT_GT(sender->SendTo("127.255.255.255", port, "CLOSE\r\n"), 0);
    ASSERT_EQ(Receive(5s), Receipt::Datagram);
    EXPECT_EQ(Received(), "CLOSE\r\n");
    EXPECT_EQ(datagram.destination, 0x7FFFFFFFu);
    EXPECT_FALSE(datagrams.IsLanBroadcast(datagram)) << "sent from this host's own address";
    Datagram peer = datagram;
    peer.senderAddress = 0x7F000002u;  // in loopback's subnet, but none of this host's addresses
    EXPECT_TRUE(datagrams.IsLanBroadcast(peer));
    Datagram elsewhere = peer;
    elsewhere.interfaceIndex += 1000;
    EXPECT_FALSE(datagrams.IsLanBroadcast(elsewhere)) << "taken by another interface";
    Datagram outsider = peer;
    outsider.senderAddress = 0xC0000201u;  // 192.0.2.1
    EXPECT_FALSE(datagrams.IsLanBroadcast(outsider)) << "from outside the subnet";
}

TEST_F(WinSockDatagramsTest, ABusyPortGivesTheBindError) {
    std::error_code error;
    EXPECT_EQ(datagrams.Bind(port, error), nullptr);
    EXPECT_EQ(error.value(), WSAEADDRINUSE) << error.message();
    ASSERT_EQ(sender->SendTo("127.0.0.1", port, "still"), 5);
    ASSERT_EQ(Receive(5s), Receipt::Datagram) << "the first socket keeps the port";
    EXPECT_EQ(Received(), "still");
}

TEST_F(WinSockDatagramsTest, TimeOutsReturnNothingAfterTheirTime) {
    ASSERT_EQ(sender->SendTo("127.0.0.1", port, "one"), 3);
    ASSERT_EQ(Receive(5s), Receipt::Datagram);
    // The readiness of the datagram just read must not end the next wait early.
    const auto start = Clock::now();
    EXPECT_EQ(Receive(300ms), Receipt::Nothing);
    EXPECT_GE(Clock::now() - start, 250ms);
    EXPECT_EQ(Receive(0ms), Receipt::Nothing);
}

TEST_F(WinSockDatagramsTest, AWakeupEndsWaitsAtOnceAndForGood) {
    const auto wakeup = datagrams.MakeWakeup();
    ASSERT_TRUE(wakeup);
    std::jthread waker([&] {
        std::this_thread::sleep_for(100ms);
        wakeup->Wake();
    });
    auto start = Clock::now();
    EXPECT_EQ(Receive(-1ms, wakeup.get()), Receipt::Nothing);
    EXPECT_LT(Clock::now() - start, 5s);
    waker.join();

    ASSERT_EQ(sender->SendTo("127.0.0.1", port, "late"), 4);
    start = Clock::now();
    EXPECT_EQ(Receive(10s, wakeup.get()), Receipt::Nothing) << "woken before the datagram";
    EXPECT_LT(Clock::now() - start, 2s);
    ASSERT_EQ(Receive(5s), Receipt::Datagram) << "the datagram waits for the next receive";
    EXPECT_EQ(Received(), "late");
    EXPECT_EQ(sender->SendTo("127.0.0.1", port, "after"), 5);
    const auto fresh = datagrams.MakeWakeup();
    ASSERT_EQ(Receive(5s, fresh.get()), Receipt::Datagram) << "a wake-up not woken waits";
    EXPECT_EQ(Received(), "after");
}

TEST(WinSockSession, AVersionWinSockDoesNotOfferFailsTheStart) {
    for (const std::uint16_t version : {std::uint16_t{0x0000}, std::uint16_t{0x0303}}) {
        try {
            const WinSockSession session(version);
            ADD_FAILURE() << "version " << std::hex << version << " started";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "WSAStartup - Could Not Initialize WinSock");
        }
    }
    const WinSockSession outer;
    { const WinSockSession inner; }
    UniqueSocket s(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    EXPECT_TRUE(s.valid()) << "WinSock stays up while a session lives";
}

}  // namespace
}  // namespace vorta::platform
