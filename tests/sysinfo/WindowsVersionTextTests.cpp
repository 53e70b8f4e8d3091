// The operating system's name and version text made from a Windows version record, and the
// collector's use of a version record and a processor list.

#include <gtest/gtest.h>

#include "FakeSystemFacts.h"
#include "sysinfo/SysInfo.h"
#include "sysinfo/WindowsVersionText.h"

namespace vorta {
namespace {

using platform::OsVersionFacts;

OsVersionFacts Nt(std::uint32_t major, std::uint32_t minor, std::uint8_t productType,
                  std::uint16_t suiteMask = 0, std::uint32_t build = 0) {
    OsVersionFacts v;
    v.platformId = 2;
    v.major = major;
    v.minor = minor;
    v.build = build;
    v.extended = true;
    v.productType = productType;
    v.suiteMask = suiteMask;
    return v;
}

OsVersionFacts Basic(std::uint32_t major, std::uint32_t minor,
                     std::optional<std::string> productType) {
    OsVersionFacts v;
    v.platformId = 2;
    v.major = major;
    v.minor = minor;
    v.productTypeValue = std::move(productType);
    return v;
}

OsVersionFacts Win9x(std::uint32_t minor, std::string servicePack) {
    OsVersionFacts v;
    v.platformId = 1;
    v.major = 4;
    v.minor = minor;
    v.servicePack = std::move(servicePack);
    return v;
}

TEST(WindowsOsName, NtVersionsUpTo52TakeTheEditionOfTheExtendedRecord) {
    EXPECT_EQ(WindowsOsName(Nt(4, 0, 1)), "Microsoft Windows NT Professional");
    EXPECT_EQ(WindowsOsName(Nt(5, 0, 1)), "Microsoft Windows 2000 Professional");
    EXPECT_EQ(WindowsOsName(Nt(5, 0, 3)), "Microsoft Windows 2000 Server");
    EXPECT_EQ(WindowsOsName(Nt(5, 0, 3, 0x0002)), "Microsoft Windows 2000 Advanced Server");
    EXPECT_EQ(WindowsOsName(Nt(5, 0, 3, 0x0082)), "Microsoft Windows 2000 DataCenter Server");
    EXPECT_EQ(WindowsOsName(Nt(5, 0, 2, 0x0082)), "Microsoft Windows 2000")
        << "a domain controller gets no edition";
    EXPECT_EQ(WindowsOsName(Nt(5, 1, 1)), "Microsoft Windows XP Professional");
    EXPECT_EQ(WindowsOsName(Nt(5, 1, 1, 0x0200)), "Microsoft Windows XP Personal");
    EXPECT_EQ(WindowsOsName(Nt(5, 2, 3, 0x0080)), "Microsoft Windows 2003");
    EXPECT_EQ(WindowsOsName(Nt(5, 2, 1)), "Microsoft Windows 2003");
    EXPECT_EQ(WindowsOsName(Basic(5, 2, "WinNT")), "Microsoft Windows 2003");
}

TEST(WindowsOsName, TheBasicRecordTakesTheEditionOfTheRegistryValue) {
    EXPECT_EQ(WindowsOsName(Basic(5, 0, " winnt ")), "Microsoft Windows 2000 Workstation");
    EXPECT_EQ(WindowsOsName(Basic(5, 1, "winnt\t\n")), "Microsoft Windows XP Workstation");
    EXPECT_EQ(WindowsOsName(Basic(4, 0, "ServerNT")), "Microsoft Windows NT Server");
    EXPECT_EQ(WindowsOsName(Basic(4, 0, "LanmanNT")), "Microsoft Windows NT");
    EXPECT_EQ(WindowsOsName(Basic(5, 0, std::nullopt)), "Microsoft Windows 2000")
        << "an unreadable value appends nothing";
    EXPECT_EQ(WindowsOsName(Basic(5, 0, "")), "Microsoft Windows 2000");
    OsVersionFacts ignored = Nt(5, 0, 1);
    ignored.productTypeValue = "ServerNT";
    EXPECT_EQ(WindowsOsName(ignored), "Microsoft Windows 2000 Professional")
        << "the extended record wins over the registry";
}

TEST(WindowsOsName, The95FamilyAndWin32s) {
    EXPECT_EQ(WindowsOsName(Win9x(0, "")), "Microsoft Windows 95");
    EXPECT_EQ(WindowsOsName(Win9x(0, " C")), "Microsoft Windows 95 OSR2");
    EXPECT_EQ(WindowsOsName(Win9x(0, " B")), "Microsoft Windows 95");
    EXPECT_EQ(WindowsOsName(Win9x(0, "C")), "Microsoft Windows 95") << "the second character";
    EXPECT_EQ(WindowsOsName(Win9x(10, " A ")), "Microsoft Windows 98 SE");
    EXPECT_EQ(WindowsOsName(Win9x(10, " C")), "Microsoft Windows 98");
    EXPECT_EQ(WindowsOsName(Win9x(90, " A")), "Microsoft Windows Me");
    EXPECT_EQ(WindowsOsName(Win9x(20, "")), kUnknownWindows);
    OsVersionFacts win32s;
    win32s.platformId = 0;
    win32s.major = 1;
    EXPECT_EQ(WindowsOsName(win32s), "Microsoft Win32s");
    OsVersionFacts other = Nt(5, 1, 1);
    other.platformId = 3;
    EXPECT_EQ(WindowsOsName(other), kUnknownWindows);
}

TEST(WindowsOsName, NewerNtVersionsAreNamedByProductTypeAndBuild) {
    EXPECT_EQ(WindowsOsName(Nt(6, 0, 1)), "Microsoft Windows Vista Professional");
    EXPECT_EQ(WindowsOsName(Nt(6, 0, 3)), "Microsoft Windows 2008 Server");
    EXPECT_EQ(WindowsOsName(Nt(6, 1, 1, 0x0200)), "Microsoft Windows 7 Personal");
    EXPECT_EQ(WindowsOsName(Nt(6, 1, 3, 0x0002)), "Microsoft Windows 2008 R2 Advanced Server");
    EXPECT_EQ(WindowsOsName(Nt(6, 2, 1)), "Microsoft Windows 8 Professional");
    EXPECT_EQ(WindowsOsName(Nt(6, 2, 2)), "Microsoft Windows 2012") << "a domain controller";
    EXPECT_EQ(WindowsOsName(Nt(6, 3, 1)), "Microsoft Windows 8.1 Professional");
    EXPECT_EQ(WindowsOsName(Nt(6, 3, 3, 0x0080)), "Microsoft Windows 2012 R2 DataCenter Server");
    EXPECT_EQ(WindowsOsName(Nt(10, 0, 1, 0, 19045)), "Microsoft Windows 10 Professional");
    EXPECT_EQ(WindowsOsName(Nt(10, 0, 1, 0, 21999)), "Microsoft Windows 10 Professional");
    EXPECT_EQ(WindowsOsName(Nt(10, 0, 1, 0, 22000)), "Microsoft Windows 11 Professional");
    EXPECT_EQ(WindowsOsName(Nt(10, 0, 1, 0x0200, 26100)), "Microsoft Windows 11 Personal");
    EXPECT_EQ(WindowsOsName(Nt(10, 0, 3, 0, 14393)), "Microsoft Windows 2016 Server");
    EXPECT_EQ(WindowsOsName(Nt(10, 0, 3, 0, 17762)), "Microsoft Windows 2016 Server");
    EXPECT_EQ(WindowsOsName(Nt(10, 0, 3, 0, 17763)), "Microsoft Windows 2019 Server");
    EXPECT_EQ(WindowsOsName(Nt(10, 0, 3, 0, 20348)), "Microsoft Windows 2022 Server");
    EXPECT_EQ(WindowsOsName(Nt(10, 0, 3, 0, 26100)), "Microsoft Windows 2025 Server");
    EXPECT_EQ(WindowsOsName(Basic(6, 1, "ServerNT")), "Microsoft Windows 2008 R2 Server");
    EXPECT_EQ(WindowsOsName(Basic(6, 1, "LanmanNT")), "Microsoft Windows 2008 R2");
    EXPECT_EQ(WindowsOsName(Basic(6, 1, std::nullopt)), "Microsoft Windows 7");
    EXPECT_EQ(WindowsOsName(Nt(6, 4, 1)), std::string(kUnknownWindows) + " Professional")
        << "a version not known here keeps the unknown name and its edition";
    EXPECT_EQ(WindowsOsName(Nt(11, 0, 3)), std::string(kUnknownWindows) + " Server");
}

TEST(WindowsOsVersion, MajorMinorBuildAndServicePack) {
    OsVersionFacts xp = Nt(5, 1, 1, 0, 2600);
    xp.servicePack = "Service Pack 3";
    EXPECT_EQ(WindowsOsVersion(xp), "5.1 (2600.Service Pack 3)");
    EXPECT_EQ(WindowsOsVersion(Nt(10, 0, 1, 0, 4000000000u)), "10.0 (4000000000.)")
        << "an NT build is printed whole";
    OsVersionFacts se = Win9x(10, " A ");
    se.build = 0x040A08AEu;
    EXPECT_EQ(WindowsOsVersion(se), "4.10 (2222. A )") << "the high word holds 4.10";
    OsVersionFacts longPack = Nt(5, 0, 1, 0, 2195);
    longPack.servicePack = std::string(127, 'x') + "\xC3\xA9" + "yz";
    EXPECT_EQ(WindowsOsVersion(longPack), "5.0 (2195." + std::string(127, 'x') + "\xC3\xA9)")
        << "at most 128 characters";
}

TEST(SysInfoFacts, AVersionRecordAndAProcessorListComeFirst) {
    test::FakeSystemFacts facts;
    facts.osRelease = "PRETTY_NAME=\"Debian\"\n";
    facts.kernelRelease = "6.1.0-18-amd64";
    facts.cpuInfo = test::CpuBlock(0, "from cpuinfo", "1000");
    const TSysInfo linuxInfo(nullptr, {}, &facts);
    EXPECT_EQ(linuxInfo.GetOSName(), "Debian");
    EXPECT_EQ(linuxInfo.GetOSVersion(), "6.1 (0.18-amd64)");

    OsVersionFacts win7 = Nt(6, 1, 1, 0, 7601);
    win7.servicePack = "Service Pack 1";
    facts.osVersion = win7;
    facts.processors = std::vector<platform::ProcessorFacts>{{"Intel Core", 2400}, {"", 0}};
    const TSysInfo info(nullptr, {}, &facts);
    EXPECT_EQ(info.GetOSName(), "Microsoft Windows 7 Professional");
    EXPECT_EQ(info.GetOSVersion(), "6.1 (7601.Service Pack 1)");
    TCpuInfoArray cpus{{"stale", 1}, {"stale", 2}, {"stale", 3}};
    info.GetCPUInfo(cpus);
    ASSERT_EQ(cpus.size(), 2u);
    EXPECT_EQ(cpus[0].Name, "Intel Core");
    EXPECT_EQ(cpus[0].MHz, 2400);
    EXPECT_EQ(cpus[1].Name, "");
    EXPECT_EQ(cpus[1].MHz, 0);
}

}  // namespace
}  // namespace vorta
