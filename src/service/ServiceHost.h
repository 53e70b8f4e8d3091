#pragma once
// The client as a system service: how it registers itself, and the program's own install and
// uninstall run that the desktop client starts when the user switches the service on or off.

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "base/Translate.h"
#include "platform/ServiceManager.h"

namespace vorta {

inline constexpr const char* kServiceDisplayName = "Vorta V1.0 Service";
inline constexpr const char* kInstallDone = TrMark("安装Vorta服务成功");
inline constexpr const char* kInstallFailed = TrMark("安装Vorta服务失败");
inline constexpr const char* kUninstallDone = TrMark("卸载Vorta服务成功");
inline constexpr const char* kUninstallFailed = TrMark("卸载Vorta服务失败");

enum class ServiceSwitch { None, Install, Uninstall };

// The service runs `program` in service mode on `dataDir`.
platform::ServiceDefinition VortaServiceDefinition(const std::filesystem::path& program,
                                                   const std::filesystem::path& dataDir);

// The command line of the install (or uninstall) run: the program with its data dir and
// " -install -silent" (or " -uninstall -silent"), and "--now" when the service is to start (or
// stop) at once.
std::vector<std::string> ServiceSwitchCommand(const std::filesystem::path& program,
                                              const std::filesystem::path& dataDir, bool install,
                                              bool now = false);

// The install or uninstall run itself. Says how it went on `out` unless `silent`; the reason
// of a failure always goes to `err`. Returns the exit code: 0 done, 1 failed. With `now` an
// install also starts the service, and an uninstall first stops it while it runs.
int RunServiceSwitch(platform::IServiceManager& services, ServiceSwitch which, bool silent,
                     const platform::ServiceDefinition& service, std::ostream& out,
                     std::ostream& err, bool now = false);

}  // namespace vorta
