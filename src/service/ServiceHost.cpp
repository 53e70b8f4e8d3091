#include "service/ServiceHost.h"

#include <exception>

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
                                              const std::filesystem::path& dataDir, bool install) {
    return {program.string(), "--data-dir", dataDir.string(), install ? "-install" : "-uninstall",
            "-silent"};
}

int RunServiceSwitch(platform::IServiceManager& services, ServiceSwitch which, bool silent,
                     const platform::ServiceDefinition& service, std::ostream& out,
                     std::ostream& err) {
    const bool install = which == ServiceSwitch::Install;
    try {
        if (install)
            services.InstallService(service);
        else
            services.UninstallService(service.name);
    } catch (const std::exception& e) {
        err << "vorta: " << (install ? kInstallFailed : kUninstallFailed) << ": " << e.what()
            << "\n";
        return 1;
    }
    if (!silent) out << (install ? kInstallDone : kUninstallDone) << "\n";
    return 0;
}

}  // namespace vorta
