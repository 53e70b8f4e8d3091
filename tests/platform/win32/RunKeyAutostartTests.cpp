#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <system_error>

#include "platform/win32/CommandLine.h"
#include "platform/win32/RunKeyAutostart.h"

namespace vorta::platform {
namespace {

std::wstring RunValue(const std::wstring& name, DWORD* type) {
    wchar_t data[1024] = {};
    DWORD bytes = sizeof data;
    *type = REG_NONE;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kRunKeyPath, name.c_str(), RRF_RT_ANY, type, data,
                     &bytes) != ERROR_SUCCESS)
        return L"<none>";
    return data;
}

TEST(RunKeyAutostart, WritesTheQuotedCommandToTheSystemsRunKeyAndRemovesIt) {
    const std::wstring name = L"VortaClientTest" + std::to_wstring(GetCurrentProcessId());
    const std::vector<std::string> command = {"C:\\Program Files\\Vorta\\vorta.exe", "--data",
                                              "C:\\Vorta data"};
    RunKeyAutostart autostart(command, name);
    autostart.SetAutostart(false);  // nothing there: nothing to do
    EXPECT_FALSE(autostart.IsAutostartSet());
    autostart.SetAutostart(true);
    EXPECT_TRUE(autostart.IsAutostartSet());
    DWORD type = REG_NONE;
    EXPECT_EQ(RunValue(name, &type), CommandLineText(command));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    autostart.SetAutostart(true);  // again: overwritten
    EXPECT_TRUE(autostart.IsAutostartSet());
    autostart.SetAutostart(false);
    EXPECT_FALSE(autostart.IsAutostartSet());
    EXPECT_EQ(RunValue(name, &type), L"<none>");
}

TEST(RunKeyAutostart, FailuresThrowInsteadOfPassingSilently) {
    // A root that is no open key: the registry refuses every call.
    const auto badRoot = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x5a5a5a50));
    RunKeyAutostart unreachable({"C:\\vorta.exe"}, L"VortaClientTest", badRoot);
    EXPECT_THROW(unreachable.SetAutostart(true), std::system_error);
    EXPECT_THROW(unreachable.SetAutostart(false), std::system_error);
    EXPECT_FALSE(unreachable.IsAutostartSet());
    RunKeyAutostart noProgram({}, L"VortaClientTest" + std::to_wstring(GetCurrentProcessId()));
    EXPECT_THROW(noProgram.SetAutostart(true), std::system_error);
    EXPECT_FALSE(noProgram.IsAutostartSet());
}

}  // namespace
}  // namespace vorta::platform
