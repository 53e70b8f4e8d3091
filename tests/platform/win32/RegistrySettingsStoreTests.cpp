#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <system_error>

#include "platform/win32/RegistrySettingsStore.h"
#include "platform/win32/UniqueHandle.h"

namespace vorta::platform {
namespace {

// A key of the test's own under HKEY_CURRENT_USER, removed with everything below it.
class TestKey {
public:
    TestKey() : path_(L"Software\\VortaTests\\" + std::to_wstring(GetCurrentProcessId())) {}
    ~TestKey() { RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str()); }
    const std::wstring& path() const { return path_; }

    void Set(const wchar_t* name, DWORD type, const void* data, DWORD bytes) const {
        HKEY opened = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &opened, nullptr),
                  ERROR_SUCCESS);
        const UniqueKey key(opened);
        ASSERT_EQ(RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(data), bytes),
                  ERROR_SUCCESS);
    }
    DWORD TypeOf(HKEY root, const std::wstring& path, const wchar_t* name) const {
        DWORD type = REG_NONE;
        RegGetValueW(root, path.c_str(), name, RRF_RT_ANY, &type, nullptr, nullptr);
        return type;
    }

private:
    std::wstring path_;
};

TEST(RegistrySettingsStore, WritesCreateTheKeyAndReadBackAsTrimmedUtf8Strings) {
    TestKey test;
    RegistrySettingsStore store(HKEY_CURRENT_USER, test.path());
    EXPECT_EQ(store.ReadSetting("UserName"), "");  // no key yet
    store.WriteSetting("UserName", "张三");
    store.WriteSetting("UserPwd", "  secret \t");
    EXPECT_EQ(store.ReadSetting("UserName"), "张三");
    EXPECT_EQ(store.ReadSetting("UserPwd"), "secret");
    EXPECT_EQ(store.ReadSetting("AutoLogon"), "");  // no value
    store.WriteSetting("UserName", "李四");
    EXPECT_EQ(store.ReadSetting("UserName"), "李四");
    EXPECT_EQ(test.TypeOf(HKEY_CURRENT_USER, test.path(), L"UserName"), static_cast<DWORD>(REG_SZ));
}

TEST(RegistrySettingsStore, ReadsStringsOtherProgramsWroteAndRefusesOtherTypes) {
    TestKey test;
    RegistrySettingsStore store(HKEY_CURRENT_USER, test.path());
    // Without a terminating NUL, and with bytes after an embedded one.
    const wchar_t bare[] = {L'1', L'2'};
    test.Set(L"Bare", REG_SZ, bare, sizeof bare);
    const wchar_t twoNuls[] = L"ab\0cd";
    test.Set(L"TwoNuls", REG_SZ, twoNuls, sizeof twoNuls);
    const std::wstring longText(5000, L'x');
    test.Set(L"Long", REG_EXPAND_SZ, longText.c_str(),
             static_cast<DWORD>((longText.size() + 1) * sizeof(wchar_t)));
    EXPECT_EQ(store.ReadSetting("Bare"), "12");
    EXPECT_EQ(store.ReadSetting("TwoNuls"), "ab");
    EXPECT_EQ(store.ReadSetting("Long"), std::string(5000, 'x'));
    const DWORD number = 1;
    test.Set(L"AutoLogon", REG_DWORD, &number, sizeof number);
    EXPECT_THROW(store.ReadSetting("AutoLogon"), std::system_error);
}

TEST(RegistrySettingsStore, DefaultsToTheClientsKeyInLocalMachine) {
    RegistrySettingsStore store;
    store.WriteSetting("VortaTestProbe", "1");
    // Key names ignore letter case: the key is the one the earlier releases read.
    const std::wstring path = L"SOFTWARE\\Morvalent\\Vorta";
    TestKey types;
    EXPECT_EQ(types.TypeOf(HKEY_LOCAL_MACHINE, path, L"VortaTestProbe"),
              static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(store.ReadSetting("VortaTestProbe"), "1");
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, path.c_str(), L"VortaTestProbe");
}

}  // namespace
}  // namespace vorta::platform
