#include <gtest/gtest.h>

#include "FakeNetworkTables.h"
#include "lines/IpRoutes.h"
#include "sysinfo/IPHelper.h"

namespace vorta {
namespace {

using test::FakeNetworkTables;
using test::Ip;

class IpRoutesTest : public ::testing::Test {
protected:
    IpRoutesTest() {
        tables.AddLink("eth0", 2);
        tables.AddLink("Wan1", 3);
        tables.AddLink("ppp0", 4);
        tables.addresses = {{Ip("198.51.100.2"), 2, Ip("255.255.255.0")},
                            {Ip("203.0.113.2"), 3, Ip("255.255.255.0")},
                            {Ip("192.0.2.77"), 4, Ip("255.255.255.255")}};
        tables.routes = {{Ip("203.0.113.0"), Ip("255.255.255.0"), 0, 3},
                         {0, 0, Ip("203.0.113.1"), 3},
                         {0, 0, Ip("192.0.2.1"), 4}};
    }
    FakeNetworkTables tables;
    std::vector<std::string> logged;
    TIpRoutes routes{tables, [this](const std::string& line) { logged.push_back(line); }};
};

TEST_F(IpRoutesTest, ConnectionNamesMatchInterfacesInAnyLetterCase) {
    EXPECT_EQ(routes.GetConnectionAdapterName("WAN1"), "Wan1");
    EXPECT_EQ(routes.GetConnectionIfIndex("wan1"), 3u);
    EXPECT_EQ(routes.GetAdapterIfIndex("wan1"), 0u) << "adapter names match exactly";
    EXPECT_EQ(routes.GetConnectionIfIndex("宽带连接"), 0u);
    EXPECT_EQ(routes.GetIfIndexByAddress("192.0.2.77"), 4u);
    EXPECT_EQ(routes.GetIfIndexByAddress("192.0.2.78"), 0u);
}

TEST_F(IpRoutesTest, DefaultRouteDecides) {
    EXPECT_FALSE(routes.HasDefaultRoute("eth0")) << "no gateway on that interface";
    EXPECT_TRUE(routes.HasDefaultRoute("wan1"));
    EXPECT_FALSE(routes.HasDefaultRoute("nothing"));
    EXPECT_FALSE(routes.AddHostRoute("eth0", "198.51.100.2", "192.0.2.10"));
    EXPECT_TRUE(tables.added.empty());
}

TEST_F(IpRoutesTest, HostRouteGoesThroughTheLinesGatewayEveryTime) {
    ASSERT_TRUE(routes.AddHostRoute("WAN1", "", "192.0.2.10"));
    ASSERT_TRUE(routes.AddHostRoute("WAN1", "", "192.0.2.10"));
    ASSERT_EQ(tables.added.size(), 2u) << "repeated every cycle";
    EXPECT_EQ(tables.added[0], std::make_tuple(Ip("192.0.2.10"), Ip("203.0.113.1"), 3u));
    EXPECT_EQ(tables.added[1], tables.added[0]);
}

TEST_F(IpRoutesTest, DialUpLinesAreFoundByTheirAddress) {
    ASSERT_TRUE(routes.AddHostRoute("我的拨号连接", "192.0.2.77", "198.51.100.200"));
    EXPECT_EQ(tables.added.back(), std::make_tuple(Ip("198.51.100.200"), Ip("192.0.2.1"), 4u));
}

TEST_F(IpRoutesTest, UnknownNameWithoutAddressNeverReadsTheAddressTable) {
    tables.addressQueries = 0;
    EXPECT_FALSE(routes.AddHostRoute("nothing", "", "192.0.2.10"));
    EXPECT_EQ(tables.addressQueries, 0);
}

TEST_F(IpRoutesTest, DefaultRouteIsDestinationPlusMaskZero) {
    // The table values are added as stored: 1.0.0.0 (the value 1 in memory order on this host)
    // plus 255.255.255.255 wraps round to 0 in 32-bit arithmetic.
    tables.routes = {{StrToIpAddr("1.0.0.0") == 1 ? Ip("1.0.0.0") : Ip("0.0.0.1"),
                      Ip("255.255.255.255"), Ip("198.51.100.1"), 2}};
    EXPECT_TRUE(routes.HasDefaultRoute("eth0"));
}

TEST_F(IpRoutesTest, RefusedRouteStillCountsAndIsLoggedOnce) {
    tables.refusal = "Operation not permitted";
    EXPECT_TRUE(routes.AddHostRoute("wan1", "", "192.0.2.10"));
    EXPECT_TRUE(routes.AddHostRoute("wan1", "", "192.0.2.10"));
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(
        logged[0],
        "route add 192.0.2.10 mask 255.255.255.255 203.0.113.1 refused: Operation not permitted");
}

TEST_F(IpRoutesTest, FailingTablesGiveZeroEmptyAndFalse) {
    tables.failing = true;
    EXPECT_EQ(routes.GetConnectionIfIndex("wan1"), 0u);
    EXPECT_EQ(routes.GetIfIndexByAddress("203.0.113.2"), 0u);
    EXPECT_EQ(routes.GetConnectionAdapterName("wan1"), "");
    EXPECT_FALSE(routes.AddHostRoute("wan1", "203.0.113.2", "192.0.2.10"));
}

}  // namespace
}  // namespace vorta
