// The system information collector over the Linux facts of fake kernel files.

#include <gtest/gtest.h>
#include <sys/utsname.h>

#include "FakeSysTree.h"
#include "platform/linux/LinuxSystemFacts.h"
#include "sysinfo/SysInfo.h"

namespace vorta {
namespace {

using test::CpuBlock;
using test::FakeSysTree;

// The collector over the Linux facts of a fake tree.
class Collector {
public:
    explicit Collector(const FakeSysTree& tree) : facts_(tree.Paths()) {}
    const TSysInfo* operator->() const { return &info_; }

private:
    platform::LinuxSystemFacts facts_;
    TSysInfo info_{nullptr, {}, &facts_};
};

TEST(SysInfoOs, NameComesFromOsReleaseThenTheKernel) {
    FakeSysTree tree;
    tree.Kernel("Linux", "6.1.0-18-amd64");
    EXPECT_EQ(Collector(tree)->GetOSName(), "Linux") << "no os-release at all";

    tree.Write("usr/lib/os-release", "NAME=\"Fallback OS\"\n");
    EXPECT_EQ(Collector(tree)->GetOSName(), "Fallback OS") << "/usr/lib stands in for /etc";

    tree.Write("etc/os-release",
               "# comment\nNAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 "
               "(bookworm)\"\nID=debian\n");
    EXPECT_EQ(Collector(tree)->GetOSName(), "Debian GNU/Linux 12 (bookworm)");

    tree.Write("etc/os-release", "PRETTY_NAME=\"\"\nNAME='Alpine Linux'\n");
    EXPECT_EQ(Collector(tree)->GetOSName(), "Alpine Linux") << "an empty PRETTY_NAME is no name";

    tree.Write("etc/os-release", "ID=minimal\n");
    EXPECT_EQ(Collector(tree)->GetOSName(), "Linux")
        << "an /etc/os-release without a name does not fall back to /usr/lib";
}

TEST(SysInfoOs, VersionIsFilledFromTheKernelRelease) {
    FakeSysTree tree;
    tree.Kernel("Linux", "6.1.0-18-amd64");
    EXPECT_EQ(Collector(tree)->GetOSVersion(), "6.1 (0.18-amd64)");
    tree.Kernel("Linux", "5.15.153.1-microsoft-standard-WSL2");
    EXPECT_EQ(Collector(tree)->GetOSVersion(), "5.15 (153.1-microsoft-standard-WSL2)");
    tree.Kernel("Linux", "6.9");
    EXPECT_EQ(Collector(tree)->GetOSVersion(), "6.9 (0.)");
}

TEST(SysInfoOs, MissingKernelFilesFallBackToUname) {
    FakeSysTree tree;
    utsname uts{};
    ASSERT_EQ(::uname(&uts), 0);
    const Collector info(tree);
    EXPECT_EQ(info->GetOSName(), uts.sysname);
    const std::string release = uts.release;
    const std::string version = info->GetOSVersion();
    // The release's first two numbers lead the version text.
    const std::size_t second = release.find_first_not_of("0123456789", release.find('.') + 1);
    EXPECT_EQ(version.substr(0, version.find(' ')), release.substr(0, second));
    EXPECT_EQ(info->GetIISVersion(), "IIS 5.0");
}

TEST(SysInfoMemory, CountersAreKilobytesAsFloats) {
    FakeSysTree tree;
    tree.Write("proc/meminfo",
               "MemTotal:       16314020 kB\nMemFree:         1000000 kB\n"
               "MemAvailable:    8123456 kB\nBuffers:          204800 kB\n");
    const Collector whole(tree);
    EXPECT_EQ(whole->GetTotalMemoryKB(), 16314020.0L);
    EXPECT_EQ(whole->GetAvailMemoryKB(), 8123456.0L);

    // A counter without a unit counts bytes.
    tree.Write("proc/meminfo", "MemTotal: 1048577536\nMemAvailable: 1536\n");
    const Collector fractional(tree);
    EXPECT_EQ(fractional->GetTotalMemoryKB(), 1024001.5L);
    EXPECT_EQ(fractional->GetAvailMemoryKB(), 1.5L);
}

TEST(SysInfoMemory, MissingCountersAreAskedOfTheKernel) {
    FakeSysTree tree;
    tree.Write("proc/meminfo", "MemTotal: 2048 kB\nMemAvailable: lots kB\n");
    const Collector info(tree);
    EXPECT_EQ(info->GetTotalMemoryKB(), 2048.0L);
    EXPECT_GT(info->GetAvailMemoryKB(), 0.0L) << "an unreadable counter comes from sysinfo()";
    EXPECT_GT(Collector(FakeSysTree())->GetTotalMemoryKB(), 0.0L);
}

TEST(SysInfoCpu, TwoProcessorsWithNamesAndSpeeds) {
    FakeSysTree tree;
    tree.Write("proc/cpuinfo", CpuBlock(0, "  Intel(R) Xeon(R) CPU @ 2.40GHz  ", "2400.000") +
                                   CpuBlock(1, "Intel(R) Xeon(R) CPU @ 2.40GHz", "2399.612"));
    TCpuInfoArray cpus;
    Collector(tree)->GetCPUInfo(cpus);
    ASSERT_EQ(cpus.size(), 2u);
    EXPECT_EQ(cpus[0].Name, "Intel(R) Xeon(R) CPU @ 2.40GHz");
    EXPECT_EQ(cpus[0].MHz, 2400);
    EXPECT_EQ(cpus[1].Name, "Intel(R) Xeon(R) CPU @ 2.40GHz");
    EXPECT_EQ(cpus[1].MHz, 2400) << "rounded";
}

TEST(SysInfoCpu, NoCpuInfoLeavesTheOutputAlone) {
    FakeSysTree tree;
    TCpuInfoArray cpus{{"kept", 1}};
    Collector(tree)->GetCPUInfo(cpus);
    ASSERT_EQ(cpus.size(), 1u);
    EXPECT_EQ(cpus[0].Name, "kept");

    tree.Write("proc/cpuinfo", "");
    Collector(tree)->GetCPUInfo(cpus);
    EXPECT_TRUE(cpus.empty()) << "a readable file with no processor lists none";
}

TEST(SysInfoCpu, SpeedFromCpufreqOrZero) {
    FakeSysTree tree;
    // Processor 4 reports no "cpu MHz": its cpufreq base frequency stands in; processor 5 has
    // only a highest frequency; processor 6 has nothing at all.
    tree.Write("proc/cpuinfo", CpuBlock(4, "A", "") + CpuBlock(5, "B", "") + CpuBlock(6, "C", ""));
    tree.Write("sys/devices/system/cpu/cpu4/cpufreq/base_frequency", "2100000\n");
    tree.Write("sys/devices/system/cpu/cpu4/cpufreq/cpuinfo_max_freq", "3900000\n");
    tree.Write("sys/devices/system/cpu/cpu5/cpufreq/cpuinfo_max_freq", "1799600\n");
    TCpuInfoArray cpus;
    Collector(tree)->GetCPUInfo(cpus);
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
    Collector(tree)->GetCPUInfo(cpus);
    ASSERT_EQ(cpus.size(), 2u);
    EXPECT_EQ(cpus[0].Name, "MIPS 1004Kc V2.15");
    EXPECT_EQ(cpus[0].MHz, 0);
    EXPECT_EQ(cpus[1].Name, "") << "nothing names it";
}

TEST(SysInfoCpu, ASpeedThatIsNoNumberIsAnError) {
    FakeSysTree tree;
    tree.Write("proc/cpuinfo", CpuBlock(0, "A", "2400.000") + CpuBlock(1, "B", "fast") +
                                   CpuBlock(2, "C", "2400.000"));
    TCpuInfoArray cpus;
    EXPECT_THROW(Collector(tree)->GetCPUInfo(cpus), TSysInfoError);
    ASSERT_EQ(cpus.size(), 3u);
    EXPECT_EQ(cpus[0].Name, "A");
    EXPECT_EQ(cpus[2].Name, "") << "processors after the bad one stay empty";
}

TEST(SysInfoCpu, ProcessorCountFromTheOnlineList) {
    FakeSysTree tree;
    tree.Write("sys/devices/system/cpu/online", "0-3,6\n");
    EXPECT_EQ(Collector(tree)->GetProcessorCount(), 5);
    tree.Write("sys/devices/system/cpu/online", "garbage\n");
    EXPECT_GE(Collector(tree)->GetProcessorCount(), 1) << "sysconf() stands in";
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
    Collector(tree)->GetNetworkCards(cards);
    const TAdapterArray expected{"r8152 [0bda:8153]", "e1000 [8086:100e]", "", "iwlwifi"};
    EXPECT_EQ(cards, expected) << "in interface name order: enx0, eth0, eth9, wlan0";
}

TEST(SysInfoCards, NoNetworkClassLeavesTheOutputAlone) {
    FakeSysTree tree;
    TAdapterArray cards{"kept"};
    Collector(tree)->GetNetworkCards(cards);
    EXPECT_EQ(cards, TAdapterArray{"kept"});
}

}  // namespace
}  // namespace vorta
