// The system facts of the machine the tests run on, and the registry keys they read.

#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <string>

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WindowsSystemFacts.h"
#include "sysinfo/SysInfo.h"

namespace vorta::platform {
namespace {

TEST(WindowsSystemFacts, TheMachineReadsAsWindowsWithMemoryAndProcessors) {
    const WindowsSystemFacts facts;
    const auto version = facts.OsVersion();
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ(version->platformId, 2u);
    EXPECT_TRUE(version->extended) << "RtlGetVersion fills the extended record";
    EXPECT_GE(version->major, 5u);
    EXPECT_TRUE(std::regex_match(facts.KernelRelease(), std::regex(R"(\d+\.\d+\.\d+)")))
        << facts.KernelRelease();
    EXPECT_EQ(facts.KernelName(), "Windows NT");

    const TSysInfo info(nullptr, {}, &facts);
    const std::string name = info.GetOSName();
    EXPECT_EQ(name.rfind("Microsoft Windows", 0), 0u) << name;
    EXPECT_TRUE(std::regex_match(info.GetOSVersion(), std::regex(R"(\d+\.\d+ \(\d+\..*\))")))
        << info.GetOSVersion();
    EXPECT_GT(info.GetTotalMemoryKB(), info.GetAvailMemoryKB());
    EXPECT_GT(info.GetAvailMemoryKB(), 0.0L);
    EXPECT_GE(info.GetProcessorCount(), 1);
    TCpuInfoArray cpus;
    info.GetCPUInfo(cpus);
    ASSERT_FALSE(cpus.empty());
    EXPECT_FALSE(cpus.front().Name.empty());
}

// A key of the test's own under HKEY_CURRENT_USER, removed with everything below it.
class TestTree {
public:
    TestTree() : path_(L"Software\\VortaTests\\Facts" + std::to_wstring(GetCurrentProcessId())) {}
    ~TestTree() { RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str()); }
    std::wstring Path(const std::wstring& below) const { return path_ + L"\\" + below; }

    void Text(const std::wstring& key, const wchar_t* name, const std::wstring& value) const {
        Set(key, name, REG_SZ, value.c_str(),
            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    void Dword(const std::wstring& key, const wchar_t* name, DWORD value) const {
        Set(key, name, REG_DWORD, &value, sizeof value);
    }
    void Key(const std::wstring& key) const { Set(key, nullptr, REG_NONE, nullptr, 0); }

private:
    void Set(const std::wstring& key, const wchar_t* name, DWORD type, const void* data,
             DWORD bytes) const {
        HKEY opened = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Path(key).c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &opened, nullptr),
                  ERROR_SUCCESS);
        const UniqueKey owned(opened);
        if (name == nullptr) return;
        ASSERT_EQ(RegSetValueExW(owned.get(), name, 0, type, static_cast<const BYTE*>(data), bytes),
                  ERROR_SUCCESS);
    }

    std::wstring path_;
};

TEST(WindowsSystemFacts, ProcessorsAndCardsComeInNumberOrderAndNoneIsLost) {
    TestTree tree;
    tree.Text(L"Cpu\\10", L"ProcessorNameString", L"tenth");
    tree.Text(L"Cpu\\10", L"~MHz", L"3000");  // not a DWORD
    tree.Text(L"Cpu\\2", L"Identifier", L" x86 Family 6 ");
    tree.Dword(L"Cpu\\2", L"~MHz", 1800);
    tree.Text(L"Cpu\\1", L"ProcessorNameString", L"no speed");
    tree.Text(L"Cpu\\0", L"ProcessorNameString", L"  Intel(R) Core(TM) \t");
    tree.Text(L"Cpu\\0", L"Identifier", L"ignored");
    tree.Dword(L"Cpu\\0", L"~MHz", 2400);
    tree.Text(L"Cards\\12", L"Description", L"Realtek PCIe GbE");
    tree.Key(L"Cards\\3");
    tree.Text(L"Cards\\7", L"Description", L"Intel(R) PRO/1000 MT");

    SystemFactsKeys keys;
    keys.root = HKEY_CURRENT_USER;
    keys.processors = tree.Path(L"Cpu");
    keys.networkCards = tree.Path(L"Cards");
    const WindowsSystemFacts facts(keys);
    const TSysInfo info(nullptr, {}, &facts);

    TCpuInfoArray cpus;
    info.GetCPUInfo(cpus);
    ASSERT_EQ(cpus.size(), 4u);
    EXPECT_EQ(cpus[0].Name, "Intel(R) Core(TM)");
    EXPECT_EQ(cpus[0].MHz, 2400);
    EXPECT_EQ(cpus[1].Name, "no speed");
    EXPECT_EQ(cpus[1].MHz, 0) << "a processor without a speed is kept";
    EXPECT_EQ(cpus[2].Name, " x86 Family 6 ") << "the identifier is taken as it is";
    EXPECT_EQ(cpus[2].MHz, 1800);
    EXPECT_EQ(cpus[3].Name, "tenth");
    EXPECT_EQ(cpus[3].MHz, 0);

    TAdapterArray cards{"stale"};
    info.GetNetworkCards(cards);
    EXPECT_EQ(cards, (TAdapterArray{"", "Intel(R) PRO/1000 MT", "Realtek PCIe GbE"}));

    keys.processors = tree.Path(L"Missing");
    keys.networkCards = tree.Path(L"Missing");
    const WindowsSystemFacts missing(keys);
    EXPECT_FALSE(missing.Processors().has_value());
    EXPECT_FALSE(missing.NetworkCards().has_value());
    const TSysInfo none(nullptr, {}, &missing);
    none.GetNetworkCards(cards);
    EXPECT_EQ(cards.size(), 3u) << "left as it was";
}

}  // namespace
}  // namespace vorta::platform
