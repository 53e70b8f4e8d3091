#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "platform/win32/IpHelperTables.h"

namespace vorta::platform {
namespace {

bool IsLoopback(Ip4 address) {
    return reinterpret_cast<const std::uint8_t*>(&address)[0] == 127;
}

bool HasHostRoute(IpHelperTables& tables, Ip4 destination) {
    const auto routes = tables.Routes();
    return routes && std::any_of(routes->begin(), routes->end(), [&](const RouteRow& row) {
               return row.destination == destination && row.mask == 0xFFFFFFFFu;
           });
}

TEST(IpHelperTables, TablesNameTheirLinksAndLeaveLoopbackOut) {
    IpHelperTables tables;
    const auto links = tables.Links();
    const auto addresses = tables.Addresses();
    const auto routes = tables.Routes();
    ASSERT_TRUE(links && addresses && routes);
    ASSERT_FALSE(links->empty());
    std::set<std::uint32_t> indices;
    for (const auto& link : *links) {
        EXPECT_FALSE(link.name.empty());
        EXPECT_TRUE(indices.insert(link.index).second) << "two links with index " << link.index;
    }
    for (const auto& row : *addresses) {
        EXPECT_FALSE(IsLoopback(row.address)) << Ip4ToText(row.address);
        EXPECT_TRUE(indices.contains(row.index)) << Ip4ToText(row.address) << " on " << row.index;
    }
    for (const auto& row : *routes) {
        EXPECT_FALSE(IsLoopback(row.destination)) << Ip4ToText(row.destination);
        EXPECT_TRUE(indices.contains(row.index)) << Ip4ToText(row.destination);
    }
}

TEST(IpHelperTables, WithoutTheLibraryNothingIsAnsweredAndChangesAreRefused) {
    IpHelperTables tables(L"vorta-missing-iphlpapi.dll");
    EXPECT_FALSE(tables.Links());
    EXPECT_FALSE(tables.Addresses());
    EXPECT_FALSE(tables.Routes());
    const Ip4 destination = *ParseIp4("192.0.2.77");
    EXPECT_NE(tables.AddHostRoute(destination, 0, 1, false).find("not available"),
              std::string::npos);
    EXPECT_NE(tables.DeleteHostRoute(destination, 0, 1).find("not available"), std::string::npos);
}

// Wine answers success to route changes without making them; Windows makes them (with the
// rights to). Either way the answer must match the table.
TEST(IpHelperTables, HostRouteAnswersMatchTheTable) {
    IpHelperTables tables;
    const auto addresses = tables.Addresses();
    ASSERT_TRUE(addresses);
    if (addresses->empty()) GTEST_SKIP() << "no IPv4 address to route through";
    const std::uint32_t index = addresses->front().index;
    const Ip4 destination = *ParseIp4("192.0.2.77");
    ASSERT_FALSE(HasHostRoute(tables, destination));
    EXPECT_FALSE(tables.DeleteHostRoute(destination, 0, index).empty());

    const std::string added = tables.AddHostRoute(destination, 0, index, false);
    if (!added.empty()) {
        EXPECT_FALSE(HasHostRoute(tables, destination)) << added;
        return;
    }
    EXPECT_TRUE(HasHostRoute(tables, destination));
    // Without replace an existing route stays and the add fails; with it the add succeeds.
    EXPECT_FALSE(tables.AddHostRoute(destination, 0, index, false).empty());
    EXPECT_TRUE(HasHostRoute(tables, destination));
    EXPECT_EQ(tables.AddHostRoute(destination, 0, index, true), "");
    EXPECT_EQ(tables.DeleteHostRoute(destination, 0, index), "");
    EXPECT_FALSE(HasHostRoute(tables, destination));
}

}  // namespace
}  // namespace vorta::platform
