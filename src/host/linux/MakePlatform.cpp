// The Linux objects of a client run: settings file, systemd, XDG autostart, rtnetlink, pppd,
// /proc and /sys, BSD sockets, the resolver, signals and the Unix-domain instance channel.
#include <cstdlib>
#include <cstring>

#include "host/CarryOver.h"
#include "host/HostPlatform.h"
#include "lines/LineInfo.h"
#include "platform/linux/FileSettingsStore.h"
#include "platform/linux/LinuxSystemFacts.h"
#include "platform/linux/NetlinkChanges.h"
#include "platform/linux/NetlinkTables.h"
#include "platform/linux/Paths.h"
#include "platform/linux/PppdRemoteAccess.h"
#include "platform/linux/Process.h"
#include "platform/linux/SignalWatcher.h"
#include "platform/linux/SystemResolver.h"
#include "platform/linux/SystemdNotify.h"
#include "platform/linux/SystemdServiceManager.h"
#include "platform/linux/Terminal.h"
#include "platform/linux/UdpDatagrams.h"
#include "platform/linux/UnixInstanceChannel.h"
#include "platform/linux/XdgAutostart.h"
#include "service/ServiceHost.h"

namespace vorta::host {

std::filesystem::path DefaultDataDir() {
    return platform::DefaultDataDir();
}

std::filesystem::path ExecutablePath() {
    return platform::ExecutablePath();
}

std::unique_ptr<platform::ISettingsStore> OpenSettings(const std::filesystem::path& dataDir) {
    return std::make_unique<platform::FileSettingsStore>(dataDir / "settings.conf");
}

std::unique_ptr<platform::IInstanceChannel> OpenChannel(const std::filesystem::path& dataDir) {
    return std::make_unique<platform::UnixInstanceChannel>(dataDir);
}

std::unique_ptr<platform::IServiceManager> OpenServiceManager() {
    return std::make_unique<platform::SystemdServiceManager>(
        platform::SystemdServiceManager::FromEnvironment());
}

std::string ServiceDataDirProblem(const std::filesystem::path& dataDir) {
    return platform::RunningAsRoot() ? platform::RootFolderProblem(dataDir) : std::string();
}

std::filesystem::path SystemDataDir() {
    if (const char* dir = platform::TestSetting("VORTA_SYSTEM_DATA_DIR")) return dir;
    return platform::kSystemDataDir;
}

std::string ReadSecret(const std::string& prompt) {
    return platform::ReadSecret(prompt);
}

bool DisplayAvailable() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = std::getenv(name); value != nullptr && *value != '\0') return true;
    return false;
}

std::filesystem::path WindowProgram() {
    if (const char* program = platform::TestSetting("VORTA_WINDOW_PROGRAM"))
        return std::filesystem::path(program);
    const std::filesystem::path self = platform::ExecutablePath();
    if (self.empty()) return {};
    // Beside the program in a build tree; in libexec when installed.
    for (const auto& candidate :
         {self.parent_path() / "vorta-window",
          self.parent_path().parent_path() / "libexec" / "vorta" / "vorta-window"}) {
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error)) return candidate;
    }
    return {};
}

std::string ReplaceWith(const std::filesystem::path& program,
                        const std::vector<std::string>& args) {
    std::vector<std::string> argv = {program.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    return std::strerror(platform::ReplaceProcess(argv));
}

std::unique_ptr<HostPlatform> MakePlatform(const std::filesystem::path& dataDir) {
    auto made = std::make_unique<HostPlatform>();
    // The unit and the autostart entry name the data dir whatever the current dir.
    made->dataDir = std::filesystem::absolute(dataDir);
    made->settings = OpenSettings(dataDir);
    made->services = OpenServiceManager();
    auto network = std::make_unique<platform::NetlinkTables>();
    // The pppd paths are settable for labs and unusual installs.
    made->ras = std::make_unique<platform::PppdRemoteAccess>(
        *network, platform::PppdPaths::FromEnvironment());
    made->network = std::move(network);
    // Autostart runs the program by its full path, with the data dir when it is not the default.
    std::vector<std::string> command = {platform::ExecutablePath().string()};
    if (made->dataDir != platform::DefaultDataDir())
        command.insert(command.end(), {"--data-dir", made->dataDir.string()});
    made->autostart = std::make_unique<platform::XdgAutostart>(platform::XdgAutostart::DefaultDir(),
                                                               std::move(command));
    made->facts = std::make_unique<platform::LinuxSystemFacts>();
    made->changes = std::make_unique<platform::NetlinkChanges>();
    made->datagrams = std::make_unique<platform::UdpDatagrams>(made->changes.get());
    made->resolver = platform::ResolveHost;
    made->notifyServiceManager = platform::NotifySystemd;
    made->watchdogInterval = platform::SystemdWatchdogInterval();
    made->logPriorities = platform::StderrIsJournal();
    made->channel = OpenChannel(dataDir);
    made->watchStopRequests = [](std::function<void()> onStop,
                                 bool /*asService: systemd signals*/) {
        return std::make_unique<platform::SignalWatcher>(std::move(onStop));
    };
    // The service always runs on the system data dir, never on a user's folder: the install run
    // gets this client's account, addresses and lines on its standard input instead.
    made->installService = [dir = made->dataDir](bool install) {
        const std::filesystem::path program = platform::ExecutablePath();
        if (program.empty()) return false;
        const std::filesystem::path system = SystemDataDir();
        std::vector<std::string> command = ServiceSwitchCommand(program, system, install, true);
        std::string carried;
        if (install && std::filesystem::absolute(system) != dir) {
            command.push_back("--carry-over");
            carried = EncodeCarryOver(*OpenSettings(dir), ReadLinesFile(dir / kLinesFileName));
        }
        // A user asks the desktop's authentication agent; its refusal is the run's failure.
        if (!platform::RunningAsRoot()) command.insert(command.begin(), "pkexec");
        return platform::RunProgram(command, false, carried).exitCode == 0;
    };
    // A service start is one by systemd under the unit's account; root alone is no service
    // (sudo vorta beside the running service is a desktop start).
    made->startedAsService =
        std::getenv("INVOCATION_ID") != nullptr && made->services->IsServiceAccount();
    return made;
}

}  // namespace vorta::host
