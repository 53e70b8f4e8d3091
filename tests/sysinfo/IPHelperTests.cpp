#include <gtest/gtest.h>

#include <cstring>

#include "FakeNetworkTables.h"
#include "sysinfo/IPHelper.h"

namespace vorta {
namespace {

using test::FakeNetworkTables;
using test::Ip;

std::vector<std::uint8_t> MemoryBytes(std::uint32_t value) {
    std::vector<std::uint8_t> bytes(4);
    std::memcpy(bytes.data(), &value, 4);
    return bytes;
}

TEST(IPHelper, FormatMacAddr) {
    const std::uint8_t mac[8] = {0x00, 0x0C, 0x29, 0x3A, 0xB1, 0xF0, 0xAA, 0xBB};
    EXPECT_EQ(FormatMacAddr(mac, 0), "00-00-00-00-00-00");
    EXPECT_EQ(FormatMacAddr(mac, 6), "00-0C-29-3A-B1-F0");
    EXPECT_EQ(FormatMacAddr(mac, 1), "00");
    EXPECT_EQ(FormatMacAddr(mac, 20), "00-0C-29-3A-B1-F0-AA-BB") << "at most 8 bytes";
}

TEST(IPHelper, NextToken) {
    std::string text = "10.1.2";
    EXPECT_EQ(NextToken(text, '.'), "10");
    EXPECT_EQ(text, "1.2");
    std::string lone = "abc";
    EXPECT_EQ(NextToken(lone, '.'), "abc");
    EXPECT_EQ(lone, "");
    EXPECT_EQ(NextToken(lone, '.'), "");
    std::string lead = ".x";
    EXPECT_EQ(NextToken(lead, '.'), "");
    EXPECT_EQ(lead, "x");
}

TEST(IPHelper, StrToIpAddrHasTheAddressTableLayout) {
    EXPECT_EQ(MemoryBytes(StrToIpAddr("192.0.2.10")), (std::vector<std::uint8_t>{192, 0, 2, 10}));
    EXPECT_EQ(StrToIpAddr("192.0.2.10"), Ip("192.0.2.10"));
    // A bad token resets the value; the tokens after it still count.
    EXPECT_EQ(MemoryBytes(StrToIpAddr("10.1.x.7")), (std::vector<std::uint8_t>{0, 0, 0, 7}));
    EXPECT_EQ(StrToIpAddr(""), 0u);
    EXPECT_EQ(StrToIpAddr("1.2.3"), 0u) << "the missing fourth token is an empty one";
}

TEST(IPHelper, AdaptersFollowTheListRules) {
    FakeNetworkTables tables;
    for (std::uint32_t i = 1; i <= 5; ++i) tables.AddLink("eth" + std::to_string(i), i + 1);
    tables.links[0].hardwareAddress = {0x02, 0, 0, 0, 0, 1};
    tables.links[0].dnsServers = {Ip("192.0.2.53"), Ip("192.0.2.54"), Ip("192.0.2.55")};
    tables.links[0].dhcp = true;
    tables.addresses = {{Ip("198.51.100.2"), 2, Ip("255.255.255.0")},
                        {Ip("203.0.113.9"), 3, Ip("255.255.255.252")},
                        {Ip("203.0.113.10"), 3, Ip("255.255.255.0")}};
    tables.routes = {{0, 0, Ip("198.51.100.1"), 2},
                     {Ip("198.51.100.0"), Ip("255.255.255.0"), 0, 2}};

    std::int32_t count = -1;
    TAdaptorRows rows;
    ASSERT_EQ(GetAdaptors(tables, count, rows), 0u);
    ASSERT_EQ(count, 5);
    ASSERT_EQ(rows.size(), 5u) << "grown to 8, then cut to the count";
    const TAdaptorInfo& first = rows[0];
    EXPECT_EQ(first.AdapterName, "eth1");
    EXPECT_EQ(first.MacAddress, "02-00-00-00-00-01");
    EXPECT_EQ(first.DhcpEnabled, 1u);
    EXPECT_EQ(first.CurrentIpAddress, "198.51.100.2");
    EXPECT_EQ(first.GatewayCount, 1);
    EXPECT_EQ(first.Gateways[0], "198.51.100.1");
    EXPECT_EQ(first.DnsServerCount, 3);
    EXPECT_EQ(first.DnsServers.size(), 4u);
    EXPECT_EQ(first.CurrentDnsServer, "192.0.2.53");

    const TAdaptorInfo& two = rows[1];
    EXPECT_EQ(two.IpAddressCount, 2);
    EXPECT_EQ(two.IpAddresses[1], "203.0.113.10");
    EXPECT_EQ(two.IpMasks[0], "255.255.255.252");
    EXPECT_EQ(two.GatewayCount, 1) << "the first node is always there";
    EXPECT_EQ(two.Gateways[0], "");

    const TAdaptorInfo& bare = rows[4];
    EXPECT_EQ(bare.IpAddressCount, 1);
    EXPECT_EQ(bare.IpAddresses[0], "");
    EXPECT_EQ(bare.CurrentIpAddress, "  0.  0.  0.  0");
    EXPECT_EQ(bare.MacAddress, "00-00-00-00-00-00");
    EXPECT_EQ(bare.DnsServerCount, 1);
}

TEST(IPHelper, FailedQueryLeavesFourEmptyRecords) {
    FakeNetworkTables tables;
    tables.AddLink("eth0", 2);
    tables.failing = true;
    std::int32_t count = 7;
    TAdaptorRows rows;
    EXPECT_NE(GetAdaptors(tables, count, rows), 0u);
    EXPECT_EQ(count, 0);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].AdapterName, "");
}

}  // namespace
}  // namespace vorta
