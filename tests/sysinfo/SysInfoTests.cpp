// The system information collector over fake kernel files and fake network tables.

#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <atomic>
#include <map>
#include <thread>

#include "FakeNetworkTables.h"
#include "FakeSysTree.h"
#include "sysinfo/SysInfo.h"

namespace vorta {
namespace {

using test::FakeNetworkTables;
using test::FakeSysTree;
using test::Ip;

TSysInfo Collector(const FakeSysTree& tree) {
    return TSysInfo(nullptr, {}, tree.Sources());
}

TEST(SysInfoOs, NameComesFromOsReleaseThenTheKernel) {
    FakeSysTree tree;
    tree.Kernel("Linux", "6.1.0-18-amd64");
    EXPECT_EQ(Collector(tree).GetOSName(), "Linux") << "no os-release at all";

    tree.Write("usr/lib/os-release", "NAME=\"Fallback OS\"\n");
    EXPECT_EQ(Collector(tree).GetOSName(), "Fallback OS") << "/usr/lib stands in for /etc";

    tree.Write("etc/os-release",
               "# comment\nNAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 "
               "(bookworm)\"\nID=debian\n");
    EXPECT_EQ(Collector(tree).GetOSName(), "Debian GNU/Linux 12 (bookworm)");

    tree.Write("etc/os-release", "PRETTY_NAME=\"\"\nNAME='Alpine Linux'\n");
    EXPECT_EQ(Collector(tree).GetOSName(), "Alpine Linux") << "an empty PRETTY_NAME is no name";

    tree.Write("etc/os-release", "ID=minimal\n");
    EXPECT_EQ(Collector(tree).GetOSName(), "Linux")
        << "an /etc/os-release without a name does not fall back to /usr/lib";
}

TEST(SysInfoOs, VersionIsFilledFromTheKernelRelease) {
    FakeSysTree tree;
    tree.Kernel("Linux", "6.1.0-18-amd64");
    EXPECT_EQ(Collector(tree).GetOSVersion(), "6.1 (0.18-amd64)");
    tree.Kernel("Linux", "5.15.153.1-microsoft-standard-WSL2");
    EXPECT_EQ(Collector(tree).GetOSVersion(), "5.15 (153.1-microsoft-standard-WSL2)");
    tree.Kernel("Linux", "6.9");
    EXPECT_EQ(Collector(tree).GetOSVersion(), "6.9 (0.)");
}

TEST(SysInfoOs, MissingKernelFilesFallBackToUname) {
    FakeSysTree tree;
    utsname uts{};
    ASSERT_EQ(::uname(&uts), 0);
    const TSysInfo info = Collector(tree);
    EXPECT_EQ(info.GetOSName(), uts.sysname);
    const std::string release = uts.release;
    const std::string version = info.GetOSVersion();
    // The release's first two numbers lead the version text.
    const std::size_t second = release.find_first_not_of("0123456789", release.find('.') + 1);
    EXPECT_EQ(version.substr(0, version.find(' ')), release.substr(0, second));
    EXPECT_EQ(info.GetIISVersion(), "IIS 5.0");
}

TEST(SysInfoMemory, CountersAreKilobytesAsFloats) {
    FakeSysTree tree;
    tree.Write("proc/meminfo",
               "MemTotal:       16314020 kB\nMemFree:         1000000 kB\n"
               "MemAvailable:    8123456 kB\nBuffers:          204800 kB\n");
    const TSysInfo whole = Collector(tree);
    EXPECT_EQ(whole.GetTotalMemoryKB(), 16314020.0L);
    EXPECT_EQ(whole.GetAvailMemoryKB(), 8123456.0L);

    // A counter without a unit counts bytes.
    tree.Write("proc/meminfo", "MemTotal: 1048577536\nMemAvailable: 1536\n");
    const TSysInfo fractional = Collector(tree);
    EXPECT_EQ(fractional.GetTotalMemoryKB(), 1024001.5L);
    EXPECT_EQ(fractional.GetAvailMemoryKB(), 1.5L);
}

TEST(SysInfoMemory, MissingCountersAreAskedOfTheKernel) {
    FakeSysTree tree;
    tree.Write("proc/meminfo", "MemTotal: 2048 kB\nMemAvailable: lots kB\n");
    const TSysInfo info = Collector(tree);
    EXPECT_EQ(info.GetTotalMemoryKB(), 2048.0L);
    EXPECT_GT(info.GetAvailMemoryKB(), 0.0L) << "an unreadable counter comes from sysinfo()";
    EXPECT_GT(Collector(FakeSysTree()).GetTotalMemoryKB(), 0.0L);
}

TEST(SysInfoCpu, TwoProcessorsWithNamesAndSpeeds) {
    FakeSysTree tree;
    tree.Write("proc/cpuinfo",
               FakeSysTree::CpuBlock(0, "  Intel(R) Xeon(R) CPU @ 2.40GHz  ", "2400.000") +
                   FakeSysTree::CpuBlock(1, "Intel(R) Xeon(R) CPU @ 2.40GHz", "2399.612"));
    TCpuInfoArray cpus;
    Collector(tree).GetCPUInfo(cpus);
    ASSERT_EQ(cpus.size(), 2u);
    EXPECT_EQ(cpus[0].Name, "Intel(R) Xeon(R) CPU @ 2.40GHz");
    EXPECT_EQ(cpus[0].MHz, 2400);
    EXPECT_EQ(cpus[1].Name, "Intel(R) Xeon(R) CPU @ 2.40GHz");
    EXPECT_EQ(cpus[1].MHz, 2400) << "rounded";
}

TEST(SysInfoCpu, NoCpuInfoLeavesTheOutputAlone) {
    FakeSysTree tree;
    TCpuInfoArray cpus{{"kept", 1}};
    Collector(tree).GetCPUInfo(cpus);
    ASSERT_EQ(cpus.size(), 1u);
    EXPECT_EQ(cpus[0].Name, "kept");

    tree.Write("proc/cpuinfo", "");
    Collector(tree).GetCPUInfo(cpus);
    EXPECT_TRUE(cpus.empty()) << "a readable file with no processor lists none";
}

TEST(SysInfoCpu, SpeedFromCpufreqOrZero) {
    FakeSysTree tree;
    // Processor 4 reports no "cpu MHz": its cpufreq base frequency stands in; processor 5 has
    // only a highest frequency; processor 6 has nothing at all.
    tree.Write("proc/cpuinfo", FakeSysTree::CpuBlock(4, "A", "") +
                                   FakeSysTree::CpuBlock(5, "B", "") +
                                   FakeSysTree::CpuBlock(6, "C", ""));
    tree.Write("sys/devices/system/cpu/cpu4/cpufreq/base_frequency", "2100000\n");
    tree.Write("sys/devices/system/cpu/cpu4/cpufreq/cpuinfo_max_freq", "3900000\n");
    tree.Write("sys/devices/system/cpu/cpu5/cpufreq/cpuinfo_max_freq", "1799600\n");
    TCpuInfoArray cpus;
    Collector(tree).GetCPUInfo(cpus);
    ASSERT_EQ(cpus.size(), 3u);
    EXPECT_EQ(cpus[0].MHz, 2100);
    EXPECT_EQ(cpus[1].MHz, 1800);
    EXPECT_EQ(cpus[2].Name, "C");
    EXPECT_EQ(cpus[2].MHz, 0);
}

TEST(SysInfoCpu, NameFallsBackToOtherFields) {
    FakeSysTree tree;
    tree.Write("proc/cpuinfo",
               "system type\t: MediaTek MT7621\nprocessor\t: 0\ncpu model\t: MIPS 1004Kc V2.15\n"
               "BogoMIPS\t: 586.13\n\nprocessor\t: 1\nBogoMIPS\t: 586.13\n");
    TCpuInfoArray cpus;
    Collector(tree).GetCPUInfo(cpus);
    ASSERT_EQ(cpus.size(), 2u);
    EXPECT_EQ(cpus[0].Name, "MIPS 1004Kc V2.15");
    EXPECT_EQ(cpus[0].MHz, 0);
    EXPECT_EQ(cpus[1].Name, "") << "nothing names it";
}

TEST(SysInfoCpu, ASpeedThatIsNoNumberIsAnError) {
    FakeSysTree tree;
    tree.Write("proc/cpuinfo", FakeSysTree::CpuBlock(0, "A", "2400.000") +
                                   FakeSysTree::CpuBlock(1, "B", "fast") +
                                   FakeSysTree::CpuBlock(2, "C", "2400.000"));
    TCpuInfoArray cpus;
    EXPECT_THROW(Collector(tree).GetCPUInfo(cpus), TSysInfoError);
    ASSERT_EQ(cpus.size(), 3u);
    EXPECT_EQ(cpus[0].Name, "A");
    EXPECT_EQ(cpus[2].Name, "") << "processors after the bad one stay empty";
}

TEST(SysInfoCpu, ProcessorCountFromTheOnlineList) {
    FakeSysTree tree;
    tree.Write("sys/devices/system/cpu/online", "0-3,6\n");
    EXPECT_EQ(Collector(tree).GetProcessorCount(), 5);
    tree.Write("sys/devices/system/cpu/online", "garbage\n");
    EXPECT_GE(Collector(tree).GetProcessorCount(), 1) << "sysconf() stands in";
}

TEST(SysInfoCards, PhysicalAdaptersAreDescribedByDriverAndIds) {
    FakeSysTree tree;
    tree.Write("sys/bus/pci/drivers/e1000/bind", "");
    tree.Write("sys/bus/pci/drivers/iwlwifi/bind", "");
    tree.Write("sys/bus/usb/drivers/r8152/bind", "");
    tree.Write("sys/devices/pci0000:00/0000:00:03.0/vendor", "0x8086\n");
    tree.Write("sys/devices/pci0000:00/0000:00:03.0/device", "0x100e\n");
    tree.Link("sys/devices/pci0000:00/0000:00:03.0/driver", "../../../bus/pci/drivers/e1000");
    tree.Link("sys/class/net/eth0/device", "../../../devices/pci0000:00/0000:00:03.0");
    tree.Write("sys/devices/pci0000:00/0000:00:14.3/vendor", "0x8086\n");
    tree.Link("sys/devices/pci0000:00/0000:00:14.3/driver", "../../../bus/pci/drivers/iwlwifi");
    tree.Link("sys/class/net/wlan0/device", "../../../devices/pci0000:00/0000:00:14.3");
    tree.Write("sys/devices/usb1/1-1/idVendor", "0bda\n");
    tree.Write("sys/devices/usb1/1-1/idProduct", "8153\n");
    tree.Link("sys/devices/usb1/1-1/1-1:1.0/driver", "../../../../bus/usb/drivers/r8152");
    tree.Link("sys/class/net/enx0/device", "../../../devices/usb1/1-1/1-1:1.0");
    tree.Write("sys/devices/virtual/net/br0/uevent", "");
    tree.Link("sys/class/net/br0", "../../devices/virtual/net/br0");  // no device: skipped
    tree.Write("sys/devices/platform/eth9/uevent", "");
    tree.Link("sys/class/net/eth9/device", "../../../devices/platform/eth9");

    TAdapterArray cards{"kept"};
    Collector(tree).GetNetworkCards(cards);
    const TAdapterArray expected{"r8152 [0bda:8153]", "e1000 [8086:100e]", "", "iwlwifi"};
    EXPECT_EQ(cards, expected) << "in interface name order: enx0, eth0, eth9, wlan0";
}

TEST(SysInfoCards, NoNetworkClassLeavesTheOutputAlone) {
    FakeSysTree tree;
    TAdapterArray cards{"kept"};
    Collector(tree).GetNetworkCards(cards);
    EXPECT_EQ(cards, TAdapterArray{"kept"});
}

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
        return TSysInfo(&tables, std::move(lookup), tree.Sources());
    }
    platform::LinkInfo& Adapter(const std::string& name, std::uint32_t index) {
        auto& link = tables.AddLink(name, index);
        link.description = "drv-" + name;
        return link;
    }
    void Address(std::uint32_t index, const char* address, unsigned prefix) {
        tables.addresses.push_back({Ip(address), index, platform::PrefixToMask(prefix), 0});
    }

    FakeSysTree tree;
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

    TSysInfo without(nullptr, {}, tree.Sources());
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
