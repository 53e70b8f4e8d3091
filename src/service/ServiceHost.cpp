#include "service/ServiceHost.h"

#include <exception>
#include <stdexcept>

#include "base/Translate.h"

namespace vorta {

platform::ServiceDefinition VortaServiceDefinition(const std::filesystem::path& program,
                                                   const std::filesystem::path& dataDir) {
    platform::ServiceDefinition service;
    service.name = std::string(platform::kServiceName);
    service.displayName = kServiceDisplayName;
    service.command = {program.string(), "--service", "--data-dir", dataDir.string()};
    return service;
}

std::vector<std::string> ServiceSwitchCommand(const std::filesystem::path& program,
                                              const std::filesystem::path& dataDir, bool install,
                                              bool now) {
    std::vector<std::string> command = {program.string(), "--data-dir", dataDir.string(),
                                        install ? "-install" : "-uninstall", "-silent"};
    if (now) command.emplace_back("--now");
    return command;
}

int RunServiceSwitch(platform::IServiceManager& services, ServiceSwitch which, bool silent,
                     const platform::ServiceDefinition& service, std::ostream& out,
                     std::ostream& err, bool now) {
    const bool install = which == ServiceSwitch::Install;
    try {
        if (!install && now && services.IsServiceRunning(service.name) &&
            !services.StopOwnService())
            throw std::runtime_error("the running service did not stop");
        if (install)
            services.InstallService(service);
        else
            services.UninstallService(service.name);
        if (install && now) {
            try {
                services.StartInstalledService(service.name);
            } catch (const std::exception& e) {
                throw std::runtime_error(std::string("it is installed but did not start: ") +
                                         e.what());
            }
        }
    } catch (const std::exception& e) {
        err << "vorta: " << Tr(install ? kInstallFailed : kUninstallFailed) << ": " << e.what()
            << "\n";
        return 1;
    }
    if (!silent) out << Tr(install ? kInstallDone : kUninstallDone) << "\n";
    return 0;
}

}  // namespace vorta
