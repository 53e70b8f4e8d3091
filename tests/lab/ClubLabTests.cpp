// The heartbeat's limited broadcast against a real kernel: a host with a LAN and a default
// gateway, the socket's do-not-route option on.

#include <array>
#include <string>

#include "NetLab.h"
#include "club/NetLib.h"

namespace vorta::lab {
namespace {

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
    const Socket receiver = CreateBoundUdpSocket(46666);
    ASSERT_NE(receiver, kNoSocket);
    const Socket sender = CreateSendSocket();
    ASSERT_NE(sender, kNoSocket);

    EXPECT_EQ(SendBroadcast(sender, 46666, "ACTIVE\r\n", 8), 8);
    std::array<char, 64> buffer{};
    std::string from;
    const int n = RecvWithTimeout(receiver, 5, from, buffer.size(), buffer.data());
    EXPECT_EQ(std::string(buffer.data(), n > 0 ? n : 0), "ACTIVE\r\n");
    EXPECT_EQ(from, "192.0.2.10");

    // A datagram addressed to the limited broadcast takes the same way.
    EXPECT_EQ(SendDatagram(sender, kLimitedBroadcast, 46666, "CLOSE\r\n", 7), 7);
    const int m = RecvWithTimeout(receiver, 5, from, buffer.size(), buffer.data());
    EXPECT_EQ(std::string(buffer.data(), m > 0 ? m : 0), "CLOSE\r\n");
    CloseSocket(sender);
    CloseSocket(receiver);
}

TEST_F(ClubLab, NoBroadcastInterfaceIsAFailure) {
    ASSERT_TRUE(Sh("ip link set lan0 down"));
    const Socket sender = CreateSendSocket();
    ASSERT_NE(sender, kNoSocket);
    EXPECT_EQ(SendBroadcast(sender, 46666, "CLOSE\r\n", 7), -1);
    CloseSocket(sender);
}

}  // namespace
}  // namespace vorta::lab
