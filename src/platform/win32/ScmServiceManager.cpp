#include "platform/win32/ScmServiceManager.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <stdexcept>
#include <vector>

#include "base/StopWait.h"
#include "platform/win32/CommandLine.h"
#include "platform/win32/SystemErrorText.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

namespace vorta::platform {
namespace {

using std::chrono::milliseconds;

// Polling a stop: a tenth of the service's wait hint, within these bounds.
constexpr milliseconds kMinStopPoll{100};
constexpr milliseconds kMaxStopPoll{10000};
// A stop that shows no progress for its wait hint (and at least this long) has stalled.
constexpr milliseconds kMinStopStall{1000};
// The restart after a failure, as the service definition promises.
constexpr DWORD kRestartDelayMs = 5000;

[[noreturn]] void Fail(const std::string& what, DWORD error = GetLastError()) {
    throw std::runtime_error(what + ": " + SystemErrorText(error));
}

UniqueServiceHandle OpenManager(DWORD access) {
    return UniqueServiceHandle(OpenSCManagerW(nullptr, nullptr, access));
}

// Null when the manager cannot be asked or the service does not exist; `exists` tells which
// (a service this user may not open still exists).
UniqueServiceHandle OpenForQuery(std::string_view name, DWORD access, bool* exists = nullptr) {
    if (exists) *exists = false;
    const UniqueServiceHandle manager = OpenManager(SC_MANAGER_CONNECT);
    if (!manager) return nullptr;
    UniqueServiceHandle service(OpenServiceW(manager.get(), ToWide(name).c_str(), access));
    if (exists) *exists = service || GetLastError() == ERROR_ACCESS_DENIED;
    return service;
}

bool SameText(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring ThisProcessUser() {
    std::wstring name(257, L'\0');
    auto size = static_cast<DWORD>(name.size());
    if (!GetUserNameW(name.data(), &size)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
        name.resize(size);
        if (!GetUserNameW(name.data(), &size)) return {};
    }
    name.resize(size > 0 ? size - 1 : 0);  // the size counted the NUL
    return name;
}

// The account the service starts as, as the manager stores it.
bool QueryStartName(SC_HANDLE service, std::wstring& startName) {
    DWORD needed = 0;
    QueryServiceConfigW(service, nullptr, 0, &needed);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
    // QUERY_SERVICE_CONFIGW holds pointers: keep the buffer aligned for them.
    std::vector<std::max_align_t> buffer(needed / sizeof(std::max_align_t) + 1);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    const auto size = static_cast<DWORD>(buffer.size() * sizeof(std::max_align_t));
    if (!QueryServiceConfigW(service, config, size, &needed)) return false;
    startName = config->lpServiceStartName ? config->lpServiceStartName : L"";
    return true;
}

milliseconds StopPoll(const SERVICE_STATUS& status) {
    return std::clamp(milliseconds(status.dwWaitHint / 10), kMinStopPoll, kMaxStopPoll);
}

}  // namespace

std::wstring ScmServiceManager::AccountUserName(std::wstring_view startName) {
    if (startName.empty() || SameText(startName, L"LocalSystem")) return L"SYSTEM";
    if (const auto at = startName.find(L'@'); at != std::wstring_view::npos)
        startName = startName.substr(0, at);
    if (const auto slash = startName.rfind(L'\\'); slash != std::wstring_view::npos)
        startName = startName.substr(slash + 1);
    // The built-in service accounts, as their own processes name themselves.
    if (SameText(startName, L"LocalService")) return L"LOCAL SERVICE";
    if (SameText(startName, L"NetworkService")) return L"NETWORK SERVICE";
    return std::wstring(startName);
}

bool ScmServiceManager::IsServiceInstalled(std::string_view name) {
    bool exists = false;
    OpenForQuery(name, SERVICE_QUERY_STATUS, &exists);
    return exists;
}

bool ScmServiceManager::IsServiceRunning(std::string_view name) {
    const UniqueServiceHandle service = OpenForQuery(name, SERVICE_QUERY_STATUS);
    SERVICE_STATUS status{};
    if (!service || !QueryServiceStatus(service.get(), &status)) return false;
    return status.dwCurrentState != SERVICE_STOPPED;
}

bool ScmServiceManager::IsServiceAccount() {
    const UniqueServiceHandle service = OpenForQuery(serviceName_, SERVICE_QUERY_CONFIG);
    std::wstring startName;
    if (!service || !QueryStartName(service.get(), startName)) return false;
    const std::wstring me = ThisProcessUser();
    return !me.empty() && SameText(AccountUserName(startName), me);
}

void ScmServiceManager::InstallService(const ServiceDefinition& service) {
    const std::string what = "cannot install the service " + service.name;
    std::wstring imagePath;
    try {
        imagePath = CommandLineText(service.command);
    } catch (const std::invalid_argument& e) {
        throw std::runtime_error(what + ": " + e.what());
    }
    const UniqueServiceHandle manager = OpenManager(SC_MANAGER_CREATE_SERVICE);
    if (!manager) Fail(what);
    const UniqueServiceHandle created(CreateServiceW(
        manager.get(), ToWide(service.name).c_str(), ToWide(service.displayName).c_str(),
        SERVICE_CHANGE_CONFIG | DELETE, SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
        SERVICE_ERROR_NORMAL, imagePath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    if (!created) Fail(what);
    // Restarted when it ends without reporting a stop.
    SC_ACTION restart{SC_ACTION_RESTART, kRestartDelayMs};
    SERVICE_FAILURE_ACTIONSW failure{};
    failure.dwResetPeriod = 86400;
    failure.cActions = 1;
    failure.lpsaActions = &restart;
    if (!ChangeServiceConfig2W(created.get(), SERVICE_CONFIG_FAILURE_ACTIONS, &failure)) {
        const DWORD error = GetLastError();
        DeleteService(created.get());  // no half-made service left behind
        Fail(what, error);
    }
}

void ScmServiceManager::UninstallService(std::string_view name) {
    const std::string what = "cannot uninstall the service " + std::string(name);
    const UniqueServiceHandle manager = OpenManager(SC_MANAGER_CONNECT);
    if (!manager) Fail(what);
    const UniqueServiceHandle service(OpenServiceW(manager.get(), ToWide(name).c_str(), DELETE));
    if (!service) Fail(what);
    // Already marked: it goes once its last handle closes.
    if (!DeleteService(service.get()) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE)
        Fail(what);
}

void ScmServiceManager::StartInstalledService(std::string_view name) {
    const std::string what = "cannot start the service " + std::string(name);
    const UniqueServiceHandle manager = OpenManager(SC_MANAGER_CONNECT);
    if (!manager) Fail(what);
    const UniqueServiceHandle service(
        OpenServiceW(manager.get(), ToWide(name).c_str(), SERVICE_START));
    if (!service) Fail(what);
    if (!StartServiceW(service.get(), 0, nullptr) &&
        GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
        Fail(what);
}

bool ScmServiceManager::StopOwnService(std::stop_token stop) {
    const std::string what = "cannot stop the service " + serviceName_;
    const UniqueServiceHandle manager = OpenManager(SC_MANAGER_CONNECT);
    if (!manager) Fail(what);
    const UniqueServiceHandle service(OpenServiceW(manager.get(), ToWide(serviceName_).c_str(),
                                                   SERVICE_STOP | SERVICE_QUERY_STATUS));
    if (!service) Fail(what);
    SERVICE_STATUS status{};
    if (!ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
        const DWORD error = GetLastError();
        if (error == ERROR_SERVICE_NOT_ACTIVE) return true;
        // Refused, unless it is on its way down already.
        if (error != ERROR_SERVICE_CANNOT_ACCEPT_CTRL) return false;
        if (!QueryServiceStatus(service.get(), &status)) Fail(what);
        if (status.dwCurrentState != SERVICE_STOP_PENDING)
            return status.dwCurrentState == SERVICE_STOPPED;
    }
    if (!QueryServiceStatus(service.get(), &status)) Fail(what);
    DWORD checkPoint = status.dwCheckPoint;
    auto progressAt = std::chrono::steady_clock::now();
    while (status.dwCurrentState != SERVICE_STOPPED) {
        const milliseconds poll = StopPoll(status);
        const milliseconds stall = std::max({milliseconds(status.dwWaitHint), poll, kMinStopStall});
        if (!SleepUnlessStopped(stop, poll)) return false;
        if (!QueryServiceStatus(service.get(), &status)) break;
        if (status.dwCheckPoint < checkPoint) break;  // going backwards: no longer stopping
        const auto now = std::chrono::steady_clock::now();
        if (status.dwCheckPoint > checkPoint) {
            checkPoint = status.dwCheckPoint;
            progressAt = now;
        } else if (status.dwCurrentState != SERVICE_STOPPED && now - progressAt > stall) {
            break;
        }
    }
    return status.dwCurrentState == SERVICE_STOPPED;
}

}  // namespace vorta::platform
