// The Windows objects of a client run: the registry, the service control manager, the Run key,
// IP Helper, rasapi32, the system's facts, WinSock, the named mutex and pipe, console control
// events and the service's stop control.

#include "host/HostPlatform.h"
#include "platform/win32/IpHelperTables.h"
#include "platform/win32/Paths.h"
#include "platform/win32/PipeInstanceChannel.h"
#include "platform/win32/Process.h"
#include "platform/win32/RasApiRemoteAccess.h"
#include "platform/win32/RegistrySettingsStore.h"
#include "platform/win32/RunKeyAutostart.h"
#include "platform/win32/ScmServiceManager.h"
#include "platform/win32/StopWatchers.h"
#include "platform/win32/SystemResolver.h"
#include "platform/win32/Terminal.h"
#include "platform/win32/WinSockDatagrams.h"
#include "platform/win32/WindowsSystemFacts.h"
#include "service/ServiceHost.h"

namespace vorta::host {

std::filesystem::path DefaultDataDir() {
    return platform::DefaultDataDir();
}

std::filesystem::path ExecutablePath() {
    return platform::ExecutablePath();
}

std::unique_ptr<platform::ISettingsStore> OpenSettings(const std::filesystem::path&) {
    // One key for the machine, as the service and the desktop client share it.
    return std::make_unique<platform::RegistrySettingsStore>();
}

std::unique_ptr<platform::IInstanceChannel> OpenChannel(const std::filesystem::path& dataDir) {
    return std::make_unique<platform::PipeInstanceChannel>(std::filesystem::absolute(dataDir));
}

std::unique_ptr<platform::IServiceManager> OpenServiceManager() {
    return std::make_unique<platform::ScmServiceManager>();
}

// The service's folder under ProgramData inherits the administrators' access list.
std::string ServiceDataDirProblem(const std::filesystem::path&) {
    return {};
}

std::filesystem::path SystemDataDir() {
    return platform::SystemDataDir();
}

std::string ReadSecret(const std::string& prompt) {
    return platform::ReadSecret(prompt);
}

// The Windows build has no window program (Qt for Windows is not part of it).
bool DisplayAvailable() {
    return false;
}

std::filesystem::path WindowProgram() {
    return {};
}

std::string ReplaceWith(const std::filesystem::path&, const std::vector<std::string>&) {
    return "this build has no window";
}

std::unique_ptr<HostPlatform> MakePlatform(const std::filesystem::path& dataDir) {
    auto made = std::make_unique<HostPlatform>();
    made->dataDir = std::filesystem::absolute(dataDir);
    made->settings = OpenSettings(dataDir);
    made->services = OpenServiceManager();
    // Route rows carry no owner: the data dir remembers the host routes this client added.
    made->network = std::make_unique<platform::IpHelperTables>(made->dataDir / "HostRoutes.txt");
    made->ras = std::make_unique<platform::RasApiRemoteAccess>();
    // The Run key starts the program by its full path, with the data dir when not the default.
    std::vector<std::string> command = {platform::ExecutablePath().string()};
    if (made->dataDir != platform::DefaultDataDir())
        command.insert(command.end(), {"--data-dir", made->dataDir.string()});
    made->autostart = std::make_unique<platform::RunKeyAutostart>(std::move(command));
    made->facts = std::make_unique<platform::WindowsSystemFacts>();
    made->datagrams = std::make_unique<platform::WinSockDatagrams>();
    made->resolver = platform::ResolveHost;
    made->channel = OpenChannel(dataDir);
    made->watchStopRequests = [](std::function<void()> onStop, bool asService) {
        return platform::WatchStopRequests(std::move(onStop), asService);
    };
    made->installService = [dir = made->dataDir](bool install) {
        const std::filesystem::path program = platform::ExecutablePath();
        if (program.empty()) return false;
        // A user is asked for consent, as the service control manager wants an administrator.
        return platform::RunProgramAsAdministrator(
                   ServiceSwitchCommand(program, dir, install, true)) == 0;
    };
    // The service control manager starts the program with --service; the host then hears its
    // stop control through the watcher.
    made->startedAsService = false;
    return made;
}

}  // namespace vorta::host
