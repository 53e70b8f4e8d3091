// Parsers of the kernel's description files, fed with texts as real systems write them.

#include <gtest/gtest.h>

#include "sysinfo/KernelText.h"

namespace vorta::kerneltext {
namespace {

TEST(OsRelease, QuotingIsUndoneAsTheShellWould) {
    const std::string text =
        "NAME=\"Debian GNU/Linux\"\n"
        "PRETTY_NAME=\"Say \\\"hi\\\" \\\\ \\$5 \\n\"  \n"
        "ID=debian\n"
        "VARIANT='single \\quoted'\n"
        "BUILD_ID=bare\\ word\n"
        "  # NAME=\"commented\"\n"
        "BROKEN LINE\n";
    EXPECT_EQ(OsReleaseValue(text, "NAME"), "Debian GNU/Linux");
    EXPECT_EQ(OsReleaseValue(text, "PRETTY_NAME"), "Say \"hi\" \\ $5 \\n");
    EXPECT_EQ(OsReleaseValue(text, "ID"), "debian");
    EXPECT_EQ(OsReleaseValue(text, "VARIANT"), "single \\quoted");
    EXPECT_EQ(OsReleaseValue(text, "BUILD_ID"), "bare word");
    EXPECT_EQ(OsReleaseValue(text, "VERSION"), std::nullopt);
    EXPECT_EQ(OsReleaseValue(text, "NAM"), std::nullopt) << "keys match whole";
}

TEST(OsRelease, LastAssignmentWinsAndEmptyIsAValue) {
    EXPECT_EQ(OsReleaseValue("NAME=one\r\nNAME=\"two\"\r\n", "NAME"), "two");
    EXPECT_EQ(OsReleaseValue("NAME=\n", "NAME"), "");
    EXPECT_EQ(OsReleaseValue("NAME=\"unterminated", "NAME"), "unterminated");
}

TEST(KernelReleaseText, NumbersThenTheRest) {
    const auto debian = ParseKernelRelease("6.1.0-18-amd64\n");
    EXPECT_EQ(debian.major, 6u);
    EXPECT_EQ(debian.minor, 1u);
    EXPECT_EQ(debian.build, 0u);
    EXPECT_EQ(debian.servicePack, "18-amd64");

    const auto candidate = ParseKernelRelease("6.10-rc3");
    EXPECT_EQ(candidate.minor, 10u);
    EXPECT_EQ(candidate.build, 0u) << "a missing number is 0";
    EXPECT_EQ(candidate.servicePack, "rc3");

    const auto plus = ParseKernelRelease("4.19.0+");
    EXPECT_EQ(plus.servicePack, "+");

    const auto odd = ParseKernelRelease("vanilla");
    EXPECT_EQ(odd.major, 0u);
    EXPECT_EQ(odd.servicePack, "vanilla");

    const auto huge = ParseKernelRelease("99999999999.1.2-x");
    EXPECT_EQ(huge.major, 0u) << "a number out of range is 0, the rest still parses";
    EXPECT_EQ(huge.minor, 1u);
    EXPECT_EQ(huge.servicePack, "x");

    EXPECT_EQ(ParseKernelRelease("6.1.0-" + std::string(200, 'z')).servicePack.size(), 128u);
}

TEST(CpuInfoText, BlocksWithAProcessorField) {
    const std::string text =
        "Processor\t: ARMv7 Processor rev 10 (v7l)\n"
        "processor\t: 0\n"
        "BogoMIPS\t: 790.52\n"
        "\n"
        "processor\t: 1\n"
        "model name\t:   ARMv7  \n"
        "model name\t: second occurrence\n"
        "flags\t\t:\n"
        "\n"
        "Hardware\t: Freescale i.MX 6Quad\n"
        "Revision\t: 0000\n";
    const auto cpus = SplitCpuInfo(text);
    ASSERT_EQ(cpus.size(), 2u) << "the trailing board block names no processor";
    EXPECT_EQ(cpus[0].at("processor"), "0");
    EXPECT_EQ(cpus[0].at("Processor"), "ARMv7 Processor rev 10 (v7l)");
    EXPECT_EQ(cpus[1].at("model name"), "ARMv7") << "trimmed, first occurrence kept";
    EXPECT_EQ(cpus[1].at("flags"), "");
    EXPECT_TRUE(SplitCpuInfo("").empty());
    EXPECT_EQ(SplitCpuInfo("processor : 7").size(), 1u) << "no final line break";
}

TEST(MemInfoText, KilobytesAndBytes) {
    const std::string text =
        "MemTotal:       16314020 kB\nMemFree:          812345 kB\nHugePages_Total:       4\n"
        "Weird:  12 MB\nBad:  12x kB\nHuge: 18446744073709551615 kB\n";
    EXPECT_EQ(MemInfoBytes(text, "MemTotal"), 16314020ull * 1024);
    EXPECT_EQ(MemInfoBytes(text, "HugePages_Total"), 4u);
    EXPECT_EQ(MemInfoBytes(text, "Weird"), std::nullopt) << "unknown unit";
    EXPECT_EQ(MemInfoBytes(text, "Bad"), std::nullopt);
    EXPECT_EQ(MemInfoBytes(text, "Huge"), std::nullopt) << "would overflow";
    EXPECT_EQ(MemInfoBytes(text, "Mem"), std::nullopt);
    EXPECT_EQ(MemInfoBytes(text, "MemAvailable"), std::nullopt);
}

TEST(CpuListText, RangesAndSingles) {
    EXPECT_EQ(CountCpuList("0\n"), 1);
    EXPECT_EQ(CountCpuList("0-7\n"), 8);
    EXPECT_EQ(CountCpuList("0-3,6,8-9"), 7);
    EXPECT_EQ(CountCpuList(""), std::nullopt);
    EXPECT_EQ(CountCpuList("3-1"), std::nullopt);
    EXPECT_EQ(CountCpuList("0-3,"), std::nullopt);
    EXPECT_EQ(CountCpuList("-1"), std::nullopt);
    EXPECT_EQ(CountCpuList("a-b"), std::nullopt);
}

}  // namespace
}  // namespace vorta::kerneltext
