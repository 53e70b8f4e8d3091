// The system information collector's adapter table over fake network tables.

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

#include "FakeNetworkTables.h"
#include "sysinfo/SysInfo.h"

namespace vorta {
namespace {

using test::FakeNetworkTables;
using test::Ip;

// Network tables with the connections the client would name, each on an interface.
class SysInfoConnTest : public ::testing::Test {
protected:
    TSysInfo Make() {
        TConnectionLookup lookup;
        lookup.names = [this] { return names; };
        lookup.ifIndex = [this](const std::string& name) {
            const auto it = indexes.find(name);
            return it == indexes.end() ? 0u : it->second;
        };
        return TSysInfo(&tables, std::move(lookup));
    }
    platform::LinkInfo& Adapter(const std::string& name, std::uint32_t index) {
        auto& link = tables.AddLink(name, index);
        link.description = "drv-" + name;
        return link;
    }
    void Address(std::uint32_t index, const char* address, unsigned prefix) {
        tables.addresses.push_back({Ip(address), index, platform::PrefixToMask(prefix), 0});
    }

    FakeNetworkTables tables;
    std::vector<std::string> names;
    std::map<std::string, std::uint32_t> indexes;
};

TEST_F(SysInfoConnTest, AdaptersWithZeroOneAndTwoAddresses) {
    auto& none = Adapter("eth0", 2);
    auto& one = Adapter("eth1", 3);
    one.hardwareAddress = {0x00, 0x0C, 0x29, 0x3A, 0xB1, 0xF0};
    one.dhcp = true;
    one.dnsServers = {Ip("192.0.2.53"), Ip("192.0.2.54")};
    auto& two = Adapter("eth2", 4);
    two.dnsServers = {Ip("198.51.100.53")};
    (void)none;
    Address(3, "192.0.2.10", 24);
    Address(4, "198.51.100.7", 24);
    Address(4, "203.0.113.9", 28);
    tables.routes.push_back({0, 0, Ip("192.0.2.1"), 3});
    tables.routes.push_back({0, 0, Ip("198.51.100.1"), 4});
    tables.routes.push_back({0, 0, Ip("198.51.100.2"), 4});
    names = {"eth0", "eth1", "eth2"};
    indexes = {{"eth0", 2}, {"eth1", 3}, {"eth2", 4}};

    TSysInfo info = Make();
    EXPECT_EQ(info.ConnCount(), 0) << "empty until the first refresh";
    info.RefreshConnInfo();
    ASSERT_EQ(info.ConnCount(), 3);
    const auto conns = info.ConnInfos();
    ASSERT_EQ(conns.size(), 3u);

    EXPECT_EQ(conns[0].ConnName, "eth0");
    EXPECT_EQ(conns[0].HardWare, "drv-eth0");
    EXPECT_EQ(conns[0].MacAddr, "00-00-00-00-00-00");
    EXPECT_EQ(conns[0].DHCPRun, "0");
    EXPECT_EQ(conns[0].IPAddr, "");
    EXPECT_EQ(conns[0].SubMask, "");
    EXPECT_EQ(conns[0].Gateway, "");
    EXPECT_EQ(conns[0].DNSServer, "");

    EXPECT_EQ(conns[1].ConnName, "eth1");
    EXPECT_EQ(conns[1].MacAddr, "00-0C-29-3A-B1-F0");
    EXPECT_EQ(conns[1].DHCPRun, "1");
    EXPECT_EQ(conns[1].IPAddr, "192.0.2.10");
    EXPECT_EQ(conns[1].SubMask, "255.255.255.0");
    EXPECT_EQ(conns[1].Gateway, "192.0.2.1");
    EXPECT_EQ(conns[1].DNSServer, "192.0.2.53") << "the first server only";

    EXPECT_EQ(conns[2].IPAddr, "198.51.100.7,203.0.113.9");
    EXPECT_EQ(conns[2].SubMask, "255.255.255.0,255.255.255.240");
    EXPECT_EQ(conns[2].Gateway, "198.51.100.1");
    EXPECT_EQ(conns[2].DNSServer, "198.51.100.53");
}

TEST_F(SysInfoConnTest, ConnectionNamesArePairedThroughTheInterfaceIndex) {
    Adapter("eth0", 2);
    Adapter("eth1", 3);
    Adapter("tun0", 9);
    // Names are matched by index, not by text; the first name in list order wins.
    names = {"Office LAN", "Backup", "Same card"};
    indexes = {{"Office LAN", 3}, {"Backup", 2}, {"Same card", 3}};
    TSysInfo info = Make();
    info.RefreshConnInfo();
    const auto conns = info.ConnInfos();
    ASSERT_EQ(conns.size(), 3u);
    EXPECT_EQ(conns[0].ConnName, "Backup");
    EXPECT_EQ(conns[1].ConnName, "Office LAN");
    EXPECT_EQ(conns[2].ConnName, "") << "no connection on index 9, still counted";
    EXPECT_EQ(conns[2].HardWare, "drv-tun0");

    std::string text = "x";
    info.GetConnNames(text);
    EXPECT_EQ(text, "xBackup;Office LAN;;");
}

TEST_F(SysInfoConnTest, ConnNamesEndEachNameWithASemicolon) {
    Adapter("A", 5);
    Adapter("B", 6);
    names = {"A", "B"};
    indexes = {{"A", 5}, {"B", 6}};
    TSysInfo info = Make();
    std::string text;
    info.GetConnNames(text);
    EXPECT_EQ(text, "") << "the table as the last refresh left it";
    info.RefreshConnInfo();
    info.GetConnNames(text);
    EXPECT_EQ(text, "A;B;");
}

TEST_F(SysInfoConnTest, MoreThanTenAdaptersAreAllKept) {
    for (std::uint32_t i = 1; i <= 13; ++i) {
        const std::string name = "eth" + std::to_string(i);
        Adapter(name, 100 + i);
        Address(100 + i, ("192.0.2." + std::to_string(i)).c_str(), 24);
        names.push_back(name);
        indexes[name] = 100 + i;
    }
    TSysInfo info = Make();
    info.RefreshConnInfo();
    ASSERT_EQ(info.ConnCount(), 13);
    const auto conns = info.ConnInfos();
    EXPECT_EQ(conns[10].ConnName, "eth11");
    EXPECT_EQ(conns[12].ConnName, "eth13");
    EXPECT_EQ(conns[12].IPAddr, "192.0.2.13");
}

TEST_F(SysInfoConnTest, AFailingQueryEmptiesTheTable) {
    Adapter("eth0", 2);
    TSysInfo info = Make();
    info.RefreshConnInfo();
    ASSERT_EQ(info.ConnCount(), 1);
    EXPECT_EQ(info.ConnInfos()[0].ConnName, "") << "no lookup names it";
    tables.failing = true;
    info.RefreshConnInfo();
    EXPECT_EQ(info.ConnCount(), 0);
    EXPECT_TRUE(info.ConnInfos().empty());

    TSysInfo without(nullptr, {});
    without.RefreshConnInfo();
    EXPECT_EQ(without.ConnCount(), 0);
}

TEST_F(SysInfoConnTest, ReadersNeverSeeAHalfBuiltTable) {
    for (std::uint32_t i = 1; i <= 6; ++i) Adapter("eth" + std::to_string(i), i);
    TSysInfo info = Make();
    info.RefreshConnInfo();
    std::atomic<bool> torn{false};
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < 2; ++t)
            threads.emplace_back([&] {
                for (int i = 0; i < 2000; ++i) info.RefreshConnInfo();
            });
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i)
                if (info.ConnInfos().size() != 6) torn = true;
        });
    }
    EXPECT_FALSE(torn);
}

}  // namespace
}  // namespace vorta
