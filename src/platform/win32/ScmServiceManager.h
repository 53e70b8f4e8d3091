#pragma once
#include "platform/win32/Guard.h"
// The service manager on the Windows service control manager. The service runs as its own
// process under the local system account and starts with the system.

#include <string>
#include <string_view>

#include "platform/ServiceManager.h"

namespace vorta::platform {

class ScmServiceManager : public IServiceManager {
public:
    // `serviceName`: the client's own service, the one IsServiceAccount and StopOwnService mean.
    explicit ScmServiceManager(std::string serviceName = std::string(kServiceName))
        : serviceName_(std::move(serviceName)) {}

    // The queries answer false when the service control manager cannot be asked.
    bool IsServiceInstalled(std::string_view name) override;
    bool IsServiceRunning(std::string_view name) override;
    bool IsServiceAccount() override;
    void InstallService(const ServiceDefinition& service) override;
    void UninstallService(std::string_view name) override;
    void StartInstalledService(std::string_view name) override;
    bool StopOwnService(std::stop_token stop = {}) override;

    // The user name a service's start account runs as, in the form GetUserNameW gives:
    // "LocalSystem" (or none) is "SYSTEM"; a ".\" or domain prefix and an "@domain" go.
    static std::wstring AccountUserName(std::wstring_view startName);

private:
    std::string serviceName_;
};

}  // namespace vorta::platform
