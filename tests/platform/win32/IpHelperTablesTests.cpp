#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "platform/win32/IpHelperTables.h"

namespace vorta::platform {
namespace {

bool IsLoopback(Ip4 address) {
    return reinterpret_cast<const std::uint8_t*>(&address)[0] == 127;
}

bool HasHostRoute(IpHelperTables& tables, Ip4 destination, bool ours = false) {
    const auto routes = tables.Routes();
    return routes && std::any_of(routes->begin(), routes->end(), [&](const RouteRow& row) {
               return row.destination == destination && row.mask == 0xFFFFFFFFu &&
                      (!ours || row.ours);
           });
}

// A folder of its own for a test's files, removed afterwards.
struct TestDir {
    explicit TestDir(const std::string& name)
        : path(std::filesystem::temp_directory_path() /
               ("vorta-" + name + "-" + std::to_string(GetCurrentProcessId()))) {
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~TestDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::filesystem::path path;
};

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
    IpHelperTables tables({}, L"vorta-missing-iphlpapi.dll");
    EXPECT_FALSE(tables.Links());
    EXPECT_FALSE(tables.Addresses());
    EXPECT_FALSE(tables.Routes());
    const Ip4 destination = *ParseIp4("192.0.2.77");
    EXPECT_NE(tables.AddHostRoute(destination, 0, 1, false).find("not available"),
              std::string::npos);
    EXPECT_NE(tables.DeleteHostRoute(destination, 0, 1).find("not available"), std::string::npos);
}

TEST(IpHelperTables, OwnRoutesAreRememberedAcrossRunsAndForgottenWhenGone) {
    using Row = OwnRouteFile::Row;
    const Row row{*ParseIp4("192.0.2.1"), *ParseIp4("198.51.100.1"), 7};
    EXPECT_EQ(OwnRouteFile::Parse("garbage\n192.0.2.1 198.51.100.1 7\n192.0.2.1 198.51.100.1 7\n"
                                  "1.2.3 198.51.100.1 1\n192.0.2.2 198.51.100.1 x\n"
                                  "192.0.2.3 198.51.100.1 3 more\n192.0.2.4 198.51.100.1 -1\n"),
              std::vector<Row>{row})
        << "one row, told once; lines that are no row are skipped";

    TestDir dir("own-routes");
    const auto file = dir.path / "data" / "HostRoutes.txt";
    {
        OwnRouteFile first(file);
        EXPECT_FALSE(first.Holds(row));
        EXPECT_EQ(first.Add(row), "");
        EXPECT_TRUE(first.Holds(row));
    }
    {
        OwnRouteFile next(file);
        EXPECT_TRUE(next.Holds(row)) << "a later run knows the row";
        next.Remove(row);
    }
    EXPECT_FALSE(OwnRouteFile(file).Holds(row));

    // A row that cannot be written down is not kept: a killed run would leave a route that the
    // next one cannot know.
    std::ofstream(dir.path / "blocked") << "a file where the folder should be";
    OwnRouteFile blocked(dir.path / "blocked" / "HostRoutes.txt");
    EXPECT_NE(blocked.Add(row), "");
    EXPECT_FALSE(blocked.Holds(row));

    // A recorded route that the system no longer has is forgotten when the tables open: a route
    // made there later is another program's.
    IpHelperTables probe;
    const auto addresses = probe.Addresses();
    ASSERT_TRUE(addresses);
    if (addresses->empty()) GTEST_SKIP() << "no IPv4 address to route through";
    const Row gone{*ParseIp4("192.0.2.78"), 0, addresses->front().index};
    ASSERT_FALSE(HasHostRoute(probe, gone.destination));
    ASSERT_EQ(OwnRouteFile(file).Add(gone), "");
    IpHelperTables tables(file);
    EXPECT_FALSE(OwnRouteFile(file).Holds(gone));
}

// Wine answers success to route changes without making them; Windows makes them (with the
// rights to). Either way the answer must match the table, and the record of the client's own
// routes the table.
TEST(IpHelperTables, HostRouteAnswersMatchTheTable) {
    TestDir dir("host-route");
    const auto file = dir.path / "HostRoutes.txt";
    IpHelperTables tables(file);
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
        EXPECT_FALSE(OwnRouteFile(file).Holds({destination, 0, index}));
        return;
    }
    EXPECT_TRUE(HasHostRoute(tables, destination, true));
    IpHelperTables next(file);
    EXPECT_TRUE(HasHostRoute(next, destination, true)) << "the next run knows it for its own";
    // Without replace an existing route stays and the add fails; with it the add succeeds.
    EXPECT_FALSE(tables.AddHostRoute(destination, 0, index, false).empty());
    EXPECT_TRUE(HasHostRoute(tables, destination));
    EXPECT_EQ(tables.AddHostRoute(destination, 0, index, true), "");
    EXPECT_EQ(tables.DeleteHostRoute(destination, 0, index), "");
    EXPECT_FALSE(HasHostRoute(tables, destination));
    EXPECT_FALSE(OwnRouteFile(file).Holds({destination, 0, index}));
}

}  // namespace
}  // namespace vorta::platform
