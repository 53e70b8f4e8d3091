// Dials through the pppd layer whose (fake) pppd brings a point-to-point interface up, and a
// link brought up by hand that the dial-up line takes as its own.

#include <unistd.h>

#include <algorithm>
#include <thread>

#include "NetLab.h"
#include "PppdSandbox.h"
#include "WaitFor.h"
#include "lines/DialUp.h"
#include "lines/LDailx.h"
#include "platform/linux/NetlinkTables.h"

namespace vorta::lab {
namespace {

using namespace std::chrono_literals;

// The connection with this handle among those the layer lists; empty when there is none.
// Every running pppd on the machine is listed, so tests look for their own.
std::string EntryOf(platform::PppdRemoteAccess& ras, platform::RasHandle handle) {
    std::vector<platform::RasConnection> connections;
    if (ras.EnumConnections(connections) != 0) return {};
    const auto found = std::find_if(connections.begin(), connections.end(),
                                    [&](const auto& c) { return c.handle == handle; });
    return found == connections.end() ? std::string() : found->entryName;
}

// A named network namespace for the far end of a link, removed with the test.
class FarNamespace {
public:
    FarNamespace() : name_("vorta-far-" + std::to_string(::getpid())) {
        ok_ = Sh("ip netns add " + name_);
    }
    ~FarNamespace() {
        if (ok_) Sh("ip netns del " + name_);
    }
    FarNamespace(const FarNamespace&) = delete;
    FarNamespace& operator=(const FarNamespace&) = delete;
    bool ok() const { return ok_; }
    const std::string& name() const { return name_; }

private:
    std::string name_;
    bool ok_ = false;
};

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

    EXPECT_EQ(EntryOf(ras, dial.Handle()), "isp");
    int state = 0;
    ASSERT_EQ(ras.GetConnectStatus(dial.Handle(), state), 0);
    EXPECT_EQ(dial.StateText(state, 0), "Spojeno");
    EXPECT_TRUE(dial.StartStatistics(true, true));

    EXPECT_EQ(dial.HangUp(), 0);
    EXPECT_EQ(ras.GetConnectStatus(dial.Handle(), state), platform::kRasInvalidHandle);
    EXPECT_FALSE(Sh("ip link show ppp7")) << "the interface went with the link";
    EXPECT_EQ(EntryOf(ras, dial.Handle()), "");
}

TEST_F(NetLabTest, DialLineTakesALinkBroughtUpByHandAsItsConnection) {
    // As `pon ENTRY` starts it: no linkname, so pppd writes RUNDIR/ppp7.pid alone. The far end
    // of the link sits in a namespace of its own, as the provider's gateway would.
    FarNamespace far;
    ASSERT_TRUE(far.ok());
    test::PppdSandbox box;
    const std::string entry = "isp-" + std::to_string(::getpid());
    box.Peer(entry, "fake-mode up ppp7 192.0.2.77 192.0.2.1 " + far.name() + "\n");
    test::HandStartedPppd pon({FAKE_PPPD, "call", entry});
    ASSERT_TRUE(test::WaitFor([&] { return box.PidIn("ppp7.pid") == pon.pid(); }));

    platform::NetlinkTables tables;
    platform::PppdRemoteAccess ras(tables, box.Paths(FAKE_PPPD));
    TIpRoutes routes{tables};
    LineServices services{routes, &ras, "", 10ms};
    auto line = std::make_shared<TDailLine>(services);
    line->Initialize();
    line->SetEntryName(entry);
    line->KeepActive = true;
    EXPECT_TRUE(test::WaitFor([&] { return line->GetIpAddress() == "192.0.2.77"; }));
    std::this_thread::sleep_for(300ms);  // passes that would dial if the link went unseen
    EXPECT_TRUE(line->GetActive());
    EXPECT_EQ(box.Runs(entry), 1) << "no second pppd was started";
    EXPECT_EQ(EntryOf(ras, pon.pid()), entry);

    // The gateway answers across the link, and its traffic shows on the connection's counters.
    platform::RasCounters before, after;
    ASSERT_TRUE(ras.ReadCounters(pon.pid(), before));
    EXPECT_TRUE(Sh("timeout 5 bash -c 'exec 3<>/dev/tcp/192.0.2.1/9' 2>&1 | grep -q refused"))
        << "the far end refuses the connection itself";
    ASSERT_TRUE(ras.ReadCounters(pon.pid(), after));
    EXPECT_GT(after.bytesReceived, before.bytesReceived);
    line.reset();
}

}  // namespace
}  // namespace vorta::lab
