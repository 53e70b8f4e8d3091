#pragma once
// What the client asks of the system's service manager.

#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace vorta::platform {

inline constexpr std::string_view kServiceName = "VortaService";
// The exit code of a service start that was refused (another client holds the data dir, or the
// data dir is not safe for the service): the service manager does not restart it.
inline constexpr int kExitServiceRefused = 78;

// A service as it is registered: started with the system, restarted when it fails.
struct ServiceDefinition {
    std::string name;
    std::string displayName;
    std::vector<std::string> command;  // the program and its arguments
};

class IServiceManager {
public:
    virtual ~IServiceManager() = default;
    virtual bool IsServiceInstalled(std::string_view name) = 0;
    // True while the installed service is starting, running or stopping.
    virtual bool IsServiceRunning(std::string_view name) = 0;
    // True when the service exists and this process runs under the account it starts as.
    virtual bool IsServiceAccount() = 0;
    // Registers the service to start with the system. Throws std::runtime_error with the reason.
    virtual void InstallService(const ServiceDefinition& service) = 0;
    // Unregisters it; a running instance is left to end on its own. Throws std::runtime_error.
    virtual void UninstallService(std::string_view name) = 0;
    // Starts the installed service now. Throws std::runtime_error with the reason.
    virtual void StartInstalledService(std::string_view name) = 0;
    // Asks the service manager to stop this client's service and waits while the stop makes
    // progress; true when it has stopped. A stop request on `stop` ends the wait with false.
    // Throws std::runtime_error when the service's state cannot be read at all.
    virtual bool StopOwnService(std::stop_token stop = {}) = 0;
};

}  // namespace vorta::platform
