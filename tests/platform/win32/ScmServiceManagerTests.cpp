#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "TestProgram.h"
#include "platform/win32/CommandLine.h"
#include "platform/win32/ScmServiceManager.h"
#include "platform/win32/SystemErrorText.h"
#include "platform/win32/UniqueHandle.h"

namespace vorta::platform {
namespace {

using test::Marker;
using test::TestServiceProgram;

std::string TestServiceName(const char* tag) {
    return std::string("VortaTestService") + tag + std::to_string(GetCurrentProcessId());
}

// Display names are unique in a service manager, like service names: tests running at once
// must not share one.
std::string DisplayName(const std::string& name) {
    return "Vorta Test Service " + name;
}

UniqueServiceHandle OpenTestService(const std::string& name, DWORD access) {
    const UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return nullptr;
    return UniqueServiceHandle(OpenServiceW(manager.get(), ToWide(name).c_str(), access));
}

// Removes a test service the test left behind, stopping its program first.
class ServiceCleanup {
public:
    explicit ServiceCleanup(std::string name) : name_(std::move(name)) {}
    ~ServiceCleanup() {
        const UniqueServiceHandle service =
            OpenTestService(name_, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE);
        if (!service) return;
        SERVICE_STATUS_PROCESS status{};
        DWORD size = 0;
        if (QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO,
                                 reinterpret_cast<BYTE*>(&status), sizeof status, &size) &&
            status.dwProcessId != 0) {
            const UniqueHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, status.dwProcessId));
            if (process) TerminateProcess(process.get(), 1);
        }
        DeleteService(service.get());
    }

private:
    std::string name_;
};

struct StoredConfig {
    DWORD serviceType = 0;
    DWORD startType = 0;
    std::wstring binaryPath;
    std::wstring displayName;
    std::wstring startName;
};

StoredConfig ReadConfig(const std::string& name) {
    const UniqueServiceHandle service = OpenTestService(name, SERVICE_QUERY_CONFIG);
    std::vector<std::max_align_t> buffer(8192 / sizeof(std::max_align_t));
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    DWORD needed = 0;
    StoredConfig stored;
    if (!service || !QueryServiceConfigW(service.get(), config, 8192, &needed)) return stored;
    stored.serviceType = config->dwServiceType;
    stored.startType = config->dwStartType;
    stored.binaryPath = config->lpBinaryPathName ? config->lpBinaryPathName : L"";
    stored.displayName = config->lpDisplayName ? config->lpDisplayName : L"";
    stored.startName = config->lpServiceStartName ? config->lpServiceStartName : L"";
    return stored;
}

bool WaitUntilRunning(ScmServiceManager& services, const std::string& name) {
    for (int i = 0; i < 200 && !services.IsServiceRunning(name); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return services.IsServiceRunning(name);
}

TEST(ScmServiceManager, InstallsStartsStopsAndUninstallsAService) {
    const std::string name = TestServiceName("Life");
    const ServiceCleanup cleanup(name);
    const Marker marker(L"life");
    ScmServiceManager services(name);
    const ServiceDefinition definition{
        name, DisplayName(name), {TestServiceProgram(), marker.Path()}};
    ASSERT_FALSE(services.IsServiceInstalled(name));
    services.InstallService(definition);
    EXPECT_TRUE(services.IsServiceInstalled(name));
    EXPECT_FALSE(services.IsServiceRunning(name));
    const StoredConfig config = ReadConfig(name);
    EXPECT_EQ(config.serviceType & ~SERVICE_INTERACTIVE_PROCESS,
              static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
    EXPECT_EQ(config.startType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(config.binaryPath, CommandLineText(definition.command));
    EXPECT_EQ(config.displayName, ToWide(DisplayName(name)));
    EXPECT_EQ(config.startName, L"LocalSystem");

    {
        // Closed again before the uninstall: a service goes only once no handle holds it.
        const UniqueServiceHandle service = OpenTestService(name, SERVICE_START);
        ASSERT_TRUE(service);
        ASSERT_TRUE(StartServiceW(service.get(), 0, nullptr)) << SystemErrorText(GetLastError());
    }
    EXPECT_TRUE(WaitUntilRunning(services, name));
    // The marker's name holds a blank: the program got it whole from the stored command line.
    EXPECT_TRUE(marker.WaitFor("ready"));
    EXPECT_TRUE(services.StopOwnService());
    EXPECT_EQ(marker.Read(), "stopped");  // the stop reached the program's callback
    EXPECT_FALSE(services.IsServiceRunning(name));
    EXPECT_TRUE(services.StopOwnService());  // stopped already

    services.UninstallService(name);
    EXPECT_FALSE(services.IsServiceInstalled(name));
}

TEST(ScmServiceManager, FailsWithTheSystemsReasonForExistingAndMissingServices) {
    const std::string name = TestServiceName("Twice");
    const ServiceCleanup cleanup(name);
    ScmServiceManager services(name);
    const ServiceDefinition definition{name, DisplayName(name), {TestServiceProgram()}};
    services.InstallService(definition);
    try {
        services.InstallService(definition);
        ADD_FAILURE() << "a second install succeeded";
    } catch (const std::runtime_error& e) {
        EXPECT_THAT(e.what(), testing::HasSubstr(name));
        EXPECT_THAT(e.what(), testing::HasSubstr(SystemErrorText(ERROR_SERVICE_EXISTS)));
    }
    services.UninstallService(name);
    EXPECT_FALSE(services.IsServiceInstalled(name));
    EXPECT_FALSE(services.IsServiceRunning(name));
    EXPECT_FALSE(services.IsServiceAccount());
    EXPECT_THROW(services.UninstallService(name), std::runtime_error);
    EXPECT_THROW(services.StopOwnService(), std::runtime_error);
    EXPECT_THROW(services.InstallService({name, "No program", {}}), std::runtime_error);
    EXPECT_FALSE(services.IsServiceInstalled(name));
}

TEST(ScmServiceManager, ServiceAccountIsTheStartAccountAsThisProcessNamesIt) {
    EXPECT_EQ(ScmServiceManager::AccountUserName(L"LocalSystem"), L"SYSTEM");
    EXPECT_EQ(ScmServiceManager::AccountUserName(L""), L"SYSTEM");
    EXPECT_EQ(ScmServiceManager::AccountUserName(L"NT AUTHORITY\\SYSTEM"), L"SYSTEM");
    EXPECT_EQ(ScmServiceManager::AccountUserName(L".\\alice"), L"alice");
    EXPECT_EQ(ScmServiceManager::AccountUserName(L"OFFICE\\bob"), L"bob");
    EXPECT_EQ(ScmServiceManager::AccountUserName(L"carol@office.example"), L"carol");
    EXPECT_EQ(ScmServiceManager::AccountUserName(L"NT AUTHORITY\\LocalService"), L"LOCAL SERVICE");

    wchar_t me[257];
    DWORD size = 257;
    ASSERT_TRUE(GetUserNameW(me, &size));
    const std::string name = TestServiceName("Account");
    const ServiceCleanup cleanup(name);
    ScmServiceManager services(name);
    EXPECT_FALSE(services.IsServiceAccount());  // no such service
    services.InstallService({name, DisplayName(name), {TestServiceProgram()}});
    // Installed under LocalSystem: this process is not the system's own.
    EXPECT_EQ(services.IsServiceAccount(), _wcsicmp(me, L"SYSTEM") == 0);
    {
        const UniqueServiceHandle service = OpenTestService(name, SERVICE_CHANGE_CONFIG);
        ASSERT_TRUE(service);
        // The user's own account, named as the manager stores it, in another letter case.
        std::wstring account = std::wstring(L".\\") + me;
        CharUpperW(account.data());
        ASSERT_TRUE(ChangeServiceConfigW(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                         SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr,
                                         account.c_str(), L"", nullptr))
            << SystemErrorText(GetLastError());
    }
    EXPECT_TRUE(services.IsServiceAccount()) << ToUtf8(ReadConfig(name).startName);
    services.UninstallService(name);
    EXPECT_FALSE(services.IsServiceAccount());
}

}  // namespace
}  // namespace vorta::platform
