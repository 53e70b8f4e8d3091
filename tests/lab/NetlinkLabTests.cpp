// The netlink tables, the adapter query and the host routes against a real kernel.

#include <array>
#include <cstdio>
#include <memory>

#include "FakeNetworkTables.h"
#include "NetLab.h"
#include "lines/IpRoutes.h"
#include "platform/linux/NetlinkTables.h"
#include "sysinfo/IPHelper.h"

namespace vorta::lab {
namespace {

using test::Ip;

std::string Output(const std::string& command) {
    std::string out;
    std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(command.c_str(), "r"), &pclose);
    std::array<char, 256> buffer{};
    while (pipe && fgets(buffer.data(), buffer.size(), pipe.get())) out += buffer.data();
    return out;
}

class NetlinkLab : public NetLabTest {
protected:
    void SetUp() override {
        NetLabTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        Veth("wan0");
        Veth("wan1");
        ASSERT_TRUE(Sh("ip addr add 198.51.100.2/24 dev wan0"));
        ASSERT_TRUE(Sh("ip route add default via 198.51.100.1 dev wan0 metric 100"));
        ASSERT_TRUE(Sh("ip addr add 203.0.113.2/24 dev wan1"));
    }
    platform::NetlinkTables tables;
    TIpRoutes routes{tables};
};

TEST_F(NetlinkLab, DefaultRoutePerInterface) {
    EXPECT_TRUE(routes.HasDefaultRoute("wan0"));
    EXPECT_FALSE(routes.HasDefaultRoute("wan1"));
    EXPECT_FALSE(routes.AddHostRoute("wan1", "203.0.113.2", "192.0.2.10"));
    EXPECT_TRUE(routes.HasDefaultRoute("WAN0")) << "names match in any letter case";
    EXPECT_FALSE(routes.HasDefaultRoute("nothing"));
}

TEST_F(NetlinkLab, CarrierAndEveryNextHopOfAMultipathDefaultRoute) {
    ASSERT_TRUE(
        Sh("ip route replace default metric 100 nexthop via 198.51.100.1 dev wan0"
           " nexthop via 203.0.113.1 dev wan1"));
    EXPECT_TRUE(routes.HasDefaultRoute("wan0"));
    EXPECT_TRUE(routes.HasDefaultRoute("wan1")) << "the second next hop is wan1's default route";
    const TRouteResult through = routes.AddHostRoute("wan1", "", "192.0.2.10");
    ASSERT_TRUE(through) << through.reason;
    EXPECT_NE(Output("ip route show 192.0.2.10").find("via 203.0.113.1 dev wan1"),
              std::string::npos);

    // The far end goes away: wan1 stays up without its carrier, its next hop marked linkdown.
    ASSERT_TRUE(Sh("ip link set wan1p down"));
    const auto rows = tables.Routes();
    ASSERT_TRUE(rows);
    int defaults = 0;
    for (const auto& row : *rows)
        if (row.mask == 0) {
            ++defaults;
            EXPECT_EQ(row.linkDown, row.index == routes.GetConnectionIfIndex("wan1"))
                << platform::Ip4ToText(row.nextHop);
        }
    EXPECT_EQ(defaults, 2);
    EXPECT_FALSE(routes.HasDefaultRoute("wan1"));
    EXPECT_EQ(routes.WhyNotUp("wan1"), "wan1 has no carrier");
    EXPECT_EQ(routes.AddHostRoute("wan1", "", "192.0.2.11").reason, "wan1 has no carrier");
    EXPECT_TRUE(routes.HasDefaultRoute("wan0"));

    // A single default route keeps its place in the table when the carrier goes.
    ASSERT_TRUE(Sh("ip route replace default via 198.51.100.1 dev wan0 metric 100"));
    ASSERT_TRUE(Sh("ip link set wan0p down"));
    EXPECT_FALSE(routes.HasDefaultRoute("wan0"));
    EXPECT_EQ(routes.WhyNotUp("wan0"), "wan0 has no carrier");
    ASSERT_TRUE(Sh("ip link set wan0 down"));
    EXPECT_EQ(routes.WhyNotUp("wan0"), "wan0 is down");
    ASSERT_TRUE(Sh("ip link set wan0 up && ip link set wan0p up"));
    ASSERT_TRUE(Sh("ip route replace default via 198.51.100.1 dev wan0 metric 100"));
    EXPECT_EQ(routes.WhyNotUp("wan0"), "");
}

TEST_F(NetlinkLab, HostRouteIsAddedOnceAndOnlyTheClientsOwnGo) {
    const TRouteResult added = routes.AddHostRoute("Wan0", "", "192.0.2.10");
    ASSERT_TRUE(added) << added.reason;
    EXPECT_EQ(added.interface, "wan0");
    const std::string shown = Output("ip route show 192.0.2.10");
    EXPECT_NE(shown.find("192.0.2.10 via 198.51.100.1 dev wan0 proto " +
                         std::to_string(platform::kOwnRouteProtocol)),
              std::string::npos)
        << shown;
    const TRouteResult again = routes.AddHostRoute("wan0", "", "192.0.2.10");
    ASSERT_TRUE(again) << again.reason;

    const auto rows = tables.Routes();
    ASSERT_TRUE(rows);
    int matches = 0;
    for (const auto& row : *rows)
        if (row.destination == Ip("192.0.2.10")) {
            ++matches;
            EXPECT_EQ(row.mask, Ip("255.255.255.255"));
            EXPECT_EQ(row.nextHop, Ip("198.51.100.1"));
            EXPECT_TRUE(row.ours);
        }
    EXPECT_EQ(matches, 1);
    routes.RemoveHostRoutes("wan0");
    EXPECT_EQ(Output("ip route show 192.0.2.10"), "") << "removed with its line";

    // A route the client did not add is neither replaced nor removed.
    ASSERT_TRUE(Sh("ip route add 192.0.2.11 via 198.51.100.9 dev wan0"));
    const TRouteResult blocked = routes.AddHostRoute("wan0", "", "192.0.2.11");
    EXPECT_FALSE(blocked);
    EXPECT_EQ(blocked.reason, "a route to 192.0.2.11 that this client did not add is in the way");
    routes.RemoveAllHostRoutes();
    EXPECT_NE(Output("ip route show 192.0.2.11").find("via 198.51.100.9"), std::string::npos);
    // Not even one that is exactly what the client would remove, but another program's.
    ASSERT_TRUE(Sh("ip route add 192.0.2.13 via 198.51.100.1 dev wan0 proto static"));
    EXPECT_FALSE(tables
                     .DeleteHostRoute(Ip("192.0.2.13"), Ip("198.51.100.1"),
                                      routes.GetConnectionIfIndex("wan0"))
                     .empty());
    EXPECT_NE(Output("ip route show 192.0.2.13").find("proto static"), std::string::npos);

    // What a killed run left: taken over where a line wants it, removed at start elsewhere.
    const std::string mark = " proto " + std::to_string(platform::kOwnRouteProtocol);
    ASSERT_TRUE(Sh("ip route add 192.0.2.12 via 198.51.100.9 dev wan0" + mark));
    ASSERT_TRUE(Sh("ip route add 192.0.2.14 via 198.51.100.9 dev wan0" + mark));
    TIpRoutes next{tables};
    const TRouteResult taken = next.AddHostRoute("wan0", "", "192.0.2.12");
    ASSERT_TRUE(taken) << taken.reason;
    EXPECT_NE(Output("ip route show 192.0.2.12").find("via 198.51.100.1 dev wan0"),
              std::string::npos);
    EXPECT_EQ(next.RemoveLeftovers(), 1u);
    EXPECT_EQ(Output("ip route show 192.0.2.14"), "");
    EXPECT_NE(Output("ip route show 192.0.2.12"), "") << "this run's own stays";
    EXPECT_NE(Output("ip route show 192.0.2.13"), "");
    EXPECT_NE(Output("ip route show 192.0.2.11"), "");
}

TEST_F(NetlinkLab, PointToPointLinkWithoutDefaultRouteRoutesThroughItself) {
    Veth("ppp9");
    ASSERT_TRUE(Sh("ip addr add 192.0.2.77 peer 192.0.2.1 dev ppp9"));
    const TRouteResult added = routes.AddHostRoute("isp", "192.0.2.77", "192.0.2.30");
    ASSERT_TRUE(added) << added.reason;
    EXPECT_EQ(added.interface, "ppp9");
    const std::string shown = Output("ip route show 192.0.2.30");
    EXPECT_NE(shown.find("192.0.2.30 dev ppp9"), std::string::npos) << shown;
    routes.RemoveHostRoutes("ISP");
    EXPECT_EQ(Output("ip route show 192.0.2.30"), "");
}

TEST_F(NetlinkLab, DialUpStyleLookupByTheLinesAddress) {
    ASSERT_TRUE(Sh("ip route add default via 203.0.113.1 dev wan1 metric 200"));
    ASSERT_TRUE(routes.AddHostRoute("我的拨号连接", "203.0.113.2", "192.0.2.20"));
    const std::string shown = Output("ip route show 192.0.2.20");
    EXPECT_NE(shown.find("via 203.0.113.1 dev wan1"), std::string::npos) << shown;
    EXPECT_FALSE(routes.AddHostRoute("我的拨号连接", "", "192.0.2.20"));
    EXPECT_FALSE(routes.AddHostRoute("我的拨号连接", "192.0.2.99", "192.0.2.20"));
}

TEST_F(NetlinkLab, AdaptersWithZeroOneAndTwoAddresses) {
    ASSERT_TRUE(Sh("ip addr add 203.0.113.3/25 dev wan1"));
    std::int32_t count = 0;
    TAdaptorRows rows;
    ASSERT_EQ(GetAdaptors(tables, count, rows), 0u);
    ASSERT_EQ(count, 4) << "two veth pairs, loopback left out";
    auto find = [&](const std::string& name) -> const TAdaptorInfo& {
        for (const auto& row : rows)
            if (row.AdapterName == name) return row;
        static TAdaptorInfo none;
        ADD_FAILURE() << name << " missing";
        return none;
    };
    const TAdaptorInfo& bare = find("wan0p");
    EXPECT_EQ(bare.IpAddressCount, 1);
    EXPECT_EQ(bare.IpAddresses[0], "");
    EXPECT_EQ(bare.CurrentIpAddress, "  0.  0.  0.  0");
    const TAdaptorInfo& one = find("wan0");
    EXPECT_EQ(one.IpAddressCount, 1);
    EXPECT_EQ(one.IpAddresses[0], "198.51.100.2");
    EXPECT_EQ(one.IpMasks[0], "255.255.255.0");
    EXPECT_EQ(one.Gateways[0], "198.51.100.1");
    EXPECT_EQ(one.MacAddress.size(), 17u);
    EXPECT_EQ(one.Description, "veth");
    EXPECT_EQ(one.Type, 1u) << "Ethernet";
    EXPECT_EQ(one.DhcpEnabled, 0u) << "configured by hand";
    const TAdaptorInfo& two = find("wan1");
    EXPECT_EQ(two.IpAddressCount, 2);
    EXPECT_EQ(two.IpAddresses[0], "203.0.113.2");
    EXPECT_EQ(two.IpAddresses[1], "203.0.113.3");
    EXPECT_EQ(two.IpMasks[1], "255.255.255.128");
    EXPECT_EQ(routes.GetIfIndexByAddress("203.0.113.3"), two.Index);
}

TEST_F(NetlinkLab, LeasedAddressesCountAsDhcp) {
    ASSERT_TRUE(Sh("ip addr add 203.0.113.50/24 dev wan1 valid_lft 3600 preferred_lft 3600"));
    const auto links = tables.Links();
    ASSERT_TRUE(links);
    for (const auto& link : *links) {
        if (link.name != "wan1") continue;
        EXPECT_TRUE(link.dhcp);
        EXPECT_GT(link.leaseExpires, 0);
        return;
    }
    FAIL() << "wan1 missing";
}

}  // namespace
}  // namespace vorta::lab
