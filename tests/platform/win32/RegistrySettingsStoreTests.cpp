#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

#include <string>
#include <system_error>
#include <vector>

#include "platform/win32/RegistrySettingsStore.h"
#include "platform/win32/UniqueHandle.h"

namespace vorta::platform {
namespace {

// A key of the test's own under HKEY_CURRENT_USER, removed with everything below it.
class TestKey {
public:
    TestKey()
        : path_(L"Software\\VortaTests\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(next_++)) {}
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
    static inline int next_ = 0;
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

// The key's access list as SDDL text.
std::wstring AccessList(HKEY root, const std::wstring& path) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, READ_CONTROL, &opened) != ERROR_SUCCESS) return {};
    const UniqueKey key(opened);
    DWORD size = 0;
    RegGetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, nullptr, &size);
    std::vector<unsigned char> descriptor(size);
    if (size == 0 || RegGetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, descriptor.data(),
                                       &size) != ERROR_SUCCESS)
        return {};
    wchar_t* text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(
            descriptor.data(), SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr))
        return {};
    std::wstring sddl = text;
    LocalFree(text);
    return sddl;
}

TEST(RegistrySettingsStore,
     TheMachineKeyIsTheEarlierReleasesAndOnlyTheSystemAndAdministratorsMayReadIt) {
    RegistrySettingsStore store;
    store.WriteSetting("VortaTestProbe", "1");
    // Key names ignore letter case: the key is the one the earlier releases read.
    const std::wstring path = L"SOFTWARE\\Morvalent\\Vorta";
    TestKey types;
    EXPECT_EQ(types.TypeOf(HKEY_LOCAL_MACHINE, path, L"VortaTestProbe"),
              static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(store.ReadSetting("VortaTestProbe"), "1");
    // Protected: nothing of the parent's "users may read" is inherited.
    const std::wstring sddl = AccessList(HKEY_LOCAL_MACHINE, path);
    EXPECT_TRUE(sddl.starts_with(L"D:P")) << std::string(sddl.begin(), sddl.end());
    for (const wchar_t* other : {L";BU)", L";WD)", L";AU)", L";IU)"})
        EXPECT_EQ(sddl.find(other), std::wstring::npos) << std::string(sddl.begin(), sddl.end());
    EXPECT_NE(sddl.find(L";SY)"), std::wstring::npos);
    EXPECT_NE(sddl.find(L";BA)"), std::wstring::npos);
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, path.c_str(), L"VortaTestProbe");
}

TEST(RegistrySettingsStore, AUsersFirstKeyCopiesTheStringsOfAnEarlierKeyOnce) {
    TestKey from;
    TestKey to;
    const std::wstring target = to.path() + L"\\User";
    const wchar_t name[] = L"张三";
    from.Set(L"UserName", REG_SZ, name, sizeof name);
    const DWORD number = 1;
    from.Set(L"Number", REG_DWORD, &number, sizeof number);  // not one of ours: left behind
    EXPECT_FALSE(
        CopyKeyIfAbsent(HKEY_CURRENT_USER, to.path() + L"\\None", HKEY_CURRENT_USER, target));
    ASSERT_TRUE(CopyKeyIfAbsent(HKEY_CURRENT_USER, from.path(), HKEY_CURRENT_USER, target));
    RegistrySettingsStore copy(HKEY_CURRENT_USER, target);
    EXPECT_EQ(copy.ReadSetting("UserName"), "张三");
    EXPECT_EQ(to.TypeOf(HKEY_CURRENT_USER, target, L"Number"), static_cast<DWORD>(REG_NONE));
    // Once the user has a key of its own, it is never overwritten.
    copy.WriteSetting("UserName", "李四");
    EXPECT_FALSE(CopyKeyIfAbsent(HKEY_CURRENT_USER, from.path(), HKEY_CURRENT_USER, target));
    EXPECT_EQ(copy.ReadSetting("UserName"), "李四");
}

}  // namespace
}  // namespace vorta::platform
