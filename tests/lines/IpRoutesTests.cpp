#include <gtest/gtest.h>

#include <algorithm>

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
                            {Ip("192.0.2.77"), 4, Ip("255.255.255.255"), Ip("192.0.2.1")}};
        tables.routes = {{Ip("203.0.113.0"), Ip("255.255.255.0"), 0, 3},
                         {0, 0, Ip("203.0.113.1"), 3},
                         {0, 0, Ip("192.0.2.1"), 4}};
    }
    using Route = std::tuple<platform::Ip4, platform::Ip4, std::uint32_t>;
    FakeNetworkTables tables;
    TIpRoutes routes{tables};
};

TEST_F(IpRoutesTest, ConnectionNamesMatchInterfacesInAnyLetterCase) {
    EXPECT_EQ(routes.GetConnectionAdapterName("WAN1"), "Wan1");
    EXPECT_EQ(routes.GetConnectionIfIndex("wan1"), 3u);
    EXPECT_EQ(routes.GetAdapterIfIndex("wan1"), 0u) << "adapter names match exactly";
    EXPECT_EQ(routes.GetConnectionIfIndex("宽带连接"), 0u);
    EXPECT_EQ(routes.GetIfIndexByAddress("192.0.2.77"), 4u);
    EXPECT_EQ(routes.GetIfIndexByAddress("192.0.2.78"), 0u);
}

TEST_F(IpRoutesTest, DefaultRouteWithCarrierDecidesForLanInterfaces) {
    EXPECT_FALSE(routes.HasDefaultRoute("eth0")) << "no gateway on that interface";
    EXPECT_EQ(routes.WhyNotUp("eth0"), "no route on eth0");
    EXPECT_TRUE(routes.HasDefaultRoute("wan1"));
    EXPECT_EQ(routes.WhyNotUp("wan1"), "");
    EXPECT_FALSE(routes.HasDefaultRoute("nothing"));
    EXPECT_EQ(routes.WhyNotUp("nothing"), "no interface for nothing");
    const TRouteResult result = routes.AddHostRoute("eth0", "198.51.100.2", "192.0.2.10");
    EXPECT_FALSE(result);
    EXPECT_EQ(result.reason, "no route on eth0");

    // A pulled cable: the interface stays up, and its default route stays in the table.
    tables.SetCarrier("Wan1", false);
    EXPECT_FALSE(routes.HasDefaultRoute("wan1"));
    EXPECT_EQ(routes.WhyNotUp("wan1"), "Wan1 has no carrier");
    EXPECT_EQ(routes.AddHostRoute("wan1", "", "192.0.2.10").reason, "Wan1 has no carrier");
    // The kernel may say so on the route's next hop alone.
    tables.SetCarrier("Wan1", true);
    tables.routes[1].linkDown = true;
    EXPECT_FALSE(routes.HasDefaultRoute("wan1"));
    EXPECT_EQ(routes.WhyNotUp("wan1"), "Wan1 has no carrier");
    EXPECT_EQ(routes.AddHostRoute("wan1", "", "192.0.2.10").reason, "Wan1 has no carrier");
    // A default route with a next hop on each interface: the one with its carrier is up.
    tables.routes.push_back({0, 0, Ip("198.51.100.1"), 2});
    EXPECT_TRUE(routes.HasDefaultRoute("eth0"));
    EXPECT_FALSE(routes.HasDefaultRoute("wan1"));
    tables.routes[1].linkDown = false;

    tables.links[1].up = false;
    EXPECT_EQ(routes.WhyNotUp("wan1"), "Wan1 is down");
    EXPECT_EQ(routes.AddHostRoute("wan1", "", "192.0.2.10").reason, "Wan1 is down");
    EXPECT_TRUE(tables.added.empty());
}

TEST_F(IpRoutesTest, HostRouteIsAddedOnceAndGoesWithItsLine) {
    const TRouteResult first = routes.AddHostRoute("WAN1", "", "192.0.2.10");
    ASSERT_TRUE(first) << first.reason;
    EXPECT_EQ(first.interface, "Wan1") << "the exchange is bound to it";
    ASSERT_TRUE(routes.AddHostRoute("wan1", "", "192.0.2.10"));
    ASSERT_EQ(tables.added, (std::vector<Route>{{Ip("192.0.2.10"), Ip("203.0.113.1"), 3u}}))
        << "the route in place is kept, not added again";
    ASSERT_TRUE(routes.AddHostRoute("wan1", "", "192.0.2.11"));

    routes.RemoveHostRoutes("eth0");
    EXPECT_TRUE(tables.deleted.empty()) << "another line's routes stay";
    routes.RemoveHostRoutes("Wan1");
    EXPECT_EQ(tables.deleted, (std::vector<Route>{{Ip("192.0.2.10"), Ip("203.0.113.1"), 3u},
                                                  {Ip("192.0.2.11"), Ip("203.0.113.1"), 3u}}));
    routes.RemoveHostRoutes("wan1");
    EXPECT_EQ(tables.deleted.size(), 2u);

    // Whatever is left goes when the routes object does (the client's shutdown).
    {
        TIpRoutes scoped{tables};
        ASSERT_TRUE(scoped.AddHostRoute("wan1", "", "192.0.2.12"));
    }
    EXPECT_EQ(tables.deleted.back(), Route(Ip("192.0.2.12"), Ip("203.0.113.1"), 3u));
}

TEST_F(IpRoutesTest, RouteTheClientDidNotAddIsNeverReplaced) {
    tables.routes.push_back({Ip("192.0.2.10"), Ip("255.255.255.255"), Ip("198.51.100.1"), 2});
    tables.routes.push_back({Ip("192.0.2.20"), Ip("255.255.255.255"), Ip("203.0.113.1"), 3});
    const TRouteResult blocked = routes.AddHostRoute("wan1", "", "192.0.2.10");
    EXPECT_FALSE(blocked);
    EXPECT_EQ(blocked.reason, "a route to 192.0.2.10 that this client did not add is in the way");
    EXPECT_TRUE(routes.AddHostRoute("wan1", "", "192.0.2.20")) << "an identical one is fine";
    EXPECT_TRUE(tables.added.empty());
    routes.RemoveAllHostRoutes();
    EXPECT_TRUE(tables.deleted.empty()) << "and stays when the client goes";

    // A route this client added for one line is moved to another that needs the address.
    tables.routes.push_back({0, 0, Ip("198.51.100.1"), 2});
    ASSERT_TRUE(routes.AddHostRoute("wan1", "", "192.0.2.30"));
    ASSERT_TRUE(routes.AddHostRoute("eth0", "", "192.0.2.30"));
    EXPECT_EQ(tables.added.back(), Route(Ip("192.0.2.30"), Ip("198.51.100.1"), 2u));
    routes.RemoveHostRoutes("wan1");
    EXPECT_TRUE(tables.deleted.empty());
    routes.RemoveHostRoutes("eth0");
    EXPECT_EQ(tables.deleted.size(), 1u);
}

TEST_F(IpRoutesTest, LeftoversOfAKilledRunAreTakenOverAndOthersRoutesStay) {
    // What a killed run left: one route where a line still wants it, one through a gateway that
    // is gone; and another program's host route.
    tables.routes.push_back(
        {Ip("192.0.2.10"), Ip("255.255.255.255"), Ip("203.0.113.9"), 3, false, true});
    tables.routes.push_back(
        {Ip("192.0.2.11"), Ip("255.255.255.255"), Ip("203.0.113.9"), 3, false, true});
    tables.routes.push_back({Ip("192.0.2.20"), Ip("255.255.255.255"), Ip("198.51.100.1"), 2});

    const TRouteResult taken = routes.AddHostRoute("wan1", "", "192.0.2.10");
    ASSERT_TRUE(taken) << taken.reason;
    EXPECT_EQ(tables.added, (std::vector<Route>{{Ip("192.0.2.10"), Ip("203.0.113.1"), 3u}}));
    EXPECT_EQ(routes.AddHostRoute("wan1", "", "192.0.2.20").reason,
              "a route to 192.0.2.20 that this client did not add is in the way");

    EXPECT_EQ(routes.RemoveLeftovers(), 1u);
    EXPECT_EQ(tables.deleted, (std::vector<Route>{{Ip("192.0.2.11"), Ip("203.0.113.9"), 3u}}))
        << "this run's route and the other program's stay";
    routes.RemoveAllHostRoutes();
    const auto left = tables.RoutesNow();
    EXPECT_EQ(std::count_if(left.begin(), left.end(),
                            [](const auto& row) { return row.mask == 0xFFFFFFFFu; }),
              1);
    EXPECT_TRUE(std::any_of(left.begin(), left.end(), [](const auto& row) {
        return row.destination == Ip("192.0.2.20") && !row.ours;
    }));
}

TEST_F(IpRoutesTest, PointToPointLinesRouteThroughThemselves) {
    // With its default route (pppd's defaultroute) or without (another line holds it), a dial-up
    // line found by its address routes through its interface: no gateway.
    ASSERT_TRUE(routes.AddHostRoute("我的拨号连接", "192.0.2.77", "192.0.2.200"));
    std::erase_if(tables.routes, [](const auto& r) { return r.index == 4 && r.mask == 0; });
    const TRouteResult result = routes.AddHostRoute("我的拨号连接", "192.0.2.77", "192.0.2.201");
    ASSERT_TRUE(result) << result.reason;
    EXPECT_EQ(result.interface, "ppp0");
    EXPECT_EQ(tables.added.back(), Route(Ip("192.0.2.201"), 0, 4u));

    // A PPP link known by its hardware type needs no peer address either.
    tables.addresses[2].peer = 0;
    tables.links[2].type = platform::kArpHardwarePpp;
    EXPECT_TRUE(routes.AddHostRoute("ppp0", "", "192.0.2.202"));
    tables.links[2].type = 1;
    EXPECT_EQ(routes.AddHostRoute("ppp0", "", "192.0.2.203").reason, "no route on ppp0");
}

TEST_F(IpRoutesTest, UnknownNameWithoutAddressNeverReadsTheAddressTable) {
    tables.addressQueries = 0;
    EXPECT_EQ(routes.AddHostRoute("nothing", "", "192.0.2.10").reason, "no interface for nothing");
    EXPECT_EQ(tables.addressQueries, 0);
}

TEST_F(IpRoutesTest, DefaultRouteIsDestinationPlusMaskZero) {
    // The table values are added as stored: 1.0.0.0 (the value 1 in memory order on this host)
    // plus 255.255.255.255 wraps round to 0 in 32-bit arithmetic.
    tables.routes = {{StrToIpAddr("1.0.0.0") == 1 ? Ip("1.0.0.0") : Ip("0.0.0.1"),
                      Ip("255.255.255.255"), Ip("198.51.100.1"), 2}};
    EXPECT_TRUE(routes.HasDefaultRoute("eth0"));
}

TEST_F(IpRoutesTest, RefusedRouteMeansNoRouteThroughTheLine) {
    tables.refusal = "Operation not permitted";
    const TRouteResult result = routes.AddHostRoute("wan1", "", "192.0.2.10");
    EXPECT_FALSE(result);
    EXPECT_EQ(result.reason, "route refused: Operation not permitted");
}

TEST_F(IpRoutesTest, AddressesThatAreNoServiceAreNeverRouted) {
    const std::pair<const char*, const char*> refused[] = {
        {"127.0.0.1", "service address 127.0.0.1 is a loopback address"},
        {"169.254.10.1", "service address 169.254.10.1 is a link-local address"},
        {"224.0.0.251", "service address 224.0.0.251 is a multicast address"},
        {"239.255.255.250", "service address 239.255.255.250 is a multicast address"},
        {"255.255.255.255", "service address 255.255.255.255 is the broadcast address"},
        {"0.0.0.0", "service address 0.0.0.0 is no host address"},
        {"198.51.100.77", "service address 198.51.100.77 lies in the subnet of eth0"},
        {"192.0.2.77", "service address 192.0.2.77 lies in the subnet of ppp0"},
    };
    for (const auto& [address, reason] : refused) {
        const TRouteResult result = routes.AddHostRoute("wan1", "", address);
        EXPECT_FALSE(result) << address;
        EXPECT_EQ(result.reason, reason);
    }
    EXPECT_TRUE(tables.added.empty());
    EXPECT_TRUE(routes.AddHostRoute("wan1", "", "192.0.2.78")) << "outside every own subnet";

    // A service on this host (tests, a development service) may be on loopback.
    std::vector<platform::AddressRow> own = tables.addresses;
    own.push_back({Ip("127.0.0.1"), 1, Ip("255.0.0.0")});
    EXPECT_EQ(UnusableServiceAddress(Ip("127.0.0.1"), own, tables.links, true), "");
    EXPECT_EQ(UnusableServiceAddress(Ip("198.51.100.9"), own, tables.links, true),
              "service address 198.51.100.9 lies in the subnet of eth0");
}

TEST_F(IpRoutesTest, PortalsOnTheLinesOwnNetworkGoStraightOthersGetFewRoutesThatGo) {
    // The gateway's own portal: on the line's interface, no route, even though a report there
    // would be refused.
    const TRouteResult own = routes.PortalRoute("wan1", "", "203.0.113.1");
    ASSERT_TRUE(own) << own.reason;
    EXPECT_EQ(own.interface, "Wan1");
    EXPECT_TRUE(tables.added.empty());
    EXPECT_FALSE(routes.AddHostRoute("wan1", "", "203.0.113.1"));

    const std::pair<const char*, const char*> refused[] = {
        {"10.1.2.3", "portal address 10.1.2.3 is a private address beyond the line's own network"},
        {"172.20.0.1",
         "portal address 172.20.0.1 is a private address beyond the line's own network"},
        {"192.168.1.1",
         "portal address 192.168.1.1 is a private address beyond the line's own network"},
        {"100.64.0.1",
         "portal address 100.64.0.1 is a shared address beyond the line's own network"},
        {"127.0.0.1", "portal address 127.0.0.1 is a loopback address"},
        {"169.254.0.1", "portal address 169.254.0.1 is a link-local address"},
        {"224.0.0.1", "portal address 224.0.0.1 is a multicast address"},
        {"198.51.100.7", "portal address 198.51.100.7 lies in the subnet of eth0"},
    };
    for (const auto& [address, reason] : refused)
        EXPECT_EQ(routes.PortalRoute("wan1", "", address).reason, reason) << address;
    EXPECT_TRUE(tables.added.empty());

    // A report's route to an address the portal also uses stays when the logon is done.
    ASSERT_TRUE(routes.AddHostRoute("wan1", "", "192.0.2.50"));
    ASSERT_TRUE(routes.PortalRoute("wan1", "", "192.0.2.50"));
    for (const char* address : {"192.0.2.60", "192.0.2.61", "192.0.2.62", "192.0.2.63"})
        ASSERT_TRUE(routes.PortalRoute("wan1", "", address)) << address;
    EXPECT_EQ(routes.PortalRoute("wan1", "", "192.0.2.64").reason,
              "the portal of Wan1 asks for more than 4 routes");
    routes.RemovePortalRoutes("WAN1");
    EXPECT_EQ(tables.deleted.size(), 4u);
    EXPECT_TRUE(std::none_of(tables.deleted.begin(), tables.deleted.end(), [](const Route& r) {
        return std::get<0>(r) == Ip("192.0.2.50");
    })) << "the report's route stays";
    EXPECT_TRUE(routes.PortalRoute("wan1", "", "192.0.2.64")) << "the budget is free again";
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
