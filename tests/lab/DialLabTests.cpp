// A dial through the pppd layer whose (fake) pppd brings a point-to-point interface up.

#include <thread>

#include "NetLab.h"
#include "PppdSandbox.h"
#include "lines/DialUp.h"
#include "platform/linux/NetlinkTables.h"

namespace vorta::lab {
namespace {

TEST_F(NetLabTest, DialBringsTheLinkUpAndHangUpTakesItDown) {
    test::PppdSandbox box;
    box.Peer("isp", "user \"stored\"\nfake-mode up ppp7 192.0.2.77 192.0.2.1\n");
    platform::NetlinkTables tables;
    platform::PppdRemoteAccess ras(tables, box.Paths(FAKE_PPPD));
    TDialUp dial(ras);
    dial.DialMode = TDialMode::dmSync;
    dial.Language = TLanguage::Czech;
    dial.Entry = "isp";
    dial.UserName = "alice";
    dial.UserPwd = "secret";
    ASSERT_EQ(dial.Dial(), 0);
    ASSERT_EQ(dial.GetProjection(dial.Handle()), 0);
    EXPECT_EQ(dial.ClientIP(), "192.0.2.77");
    EXPECT_EQ(dial.ServerIP(), "192.0.2.1");
    EXPECT_FALSE(box.CredentialsLeft());

    std::vector<platform::RasConnection> connections;
    ASSERT_EQ(ras.EnumConnections(connections), 0);
    ASSERT_EQ(connections.size(), 1u);
    EXPECT_EQ(connections[0].entryName, "isp");
    EXPECT_EQ(connections[0].handle, dial.Handle());
    int state = 0;
    ASSERT_EQ(ras.GetConnectStatus(dial.Handle(), state), 0);
    EXPECT_EQ(dial.StateText(state, 0), "Spojeno");
    EXPECT_TRUE(dial.StartStatistics(true, true));

    EXPECT_EQ(dial.HangUp(), 0);
    EXPECT_EQ(ras.GetConnectStatus(dial.Handle(), state), platform::kRasInvalidHandle);
    EXPECT_FALSE(Sh("ip link show ppp7")) << "the interface went with the link";
    ASSERT_EQ(ras.EnumConnections(connections), 0);
    EXPECT_TRUE(connections.empty());
}

}  // namespace
}  // namespace vorta::lab
