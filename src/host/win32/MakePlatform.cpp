// The Windows objects of a client run: the registry, the service control manager, the Run key,
// IP Helper, rasapi32, the system's facts, WinSock, the named mutex and pipe, console control
// events and the service's stop control.

#include <optional>
#include <stdexcept>

#include "host/CarryOver.h"
#include "host/HostPlatform.h"
#include "lines/LineInfo.h"
#include "platform/AtomicFile.h"
#include "platform/win32/IpHelperChanges.h"
#include "platform/win32/IpHelperTables.h"
#include "platform/win32/Paths.h"
#include "platform/win32/PipeInstanceChannel.h"
#include "platform/win32/PrivateAccess.h"
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
namespace {

// The settings an install run carries over, in a file of this user's only while it runs.
struct CarriedFile {
    CarriedFile(std::filesystem::path at, const std::string& text) : path(std::move(at)) {
        platform::WriteFileAtomically(path, text, platform::kOwnerOnly);
    }
    ~CarriedFile() {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
    CarriedFile(const CarriedFile&) = delete;
    CarriedFile& operator=(const CarriedFile&) = delete;
    std::filesystem::path path;
};

// The service's run (or one on its data dir) rather than a user's own client.
bool IsMachineRun(const std::filesystem::path& dataDir) {
    std::error_code error;
    return platform::RunningAsLocalSystem() ||
           std::filesystem::equivalent(dataDir, platform::SystemDataDir(), error);
}

}  // namespace

std::filesystem::path DefaultDataDir() {
    return platform::DefaultDataDir();
}

std::filesystem::path ExecutablePath() {
    return platform::ExecutablePath();
}

// The service keeps its settings in the machine's key, a user's own client in the user's, so a
// standard user needs no administrator.
std::unique_ptr<platform::ISettingsStore> OpenSettings(const std::filesystem::path& dataDir) {
    return platform::OpenRegistrySettings(IsMachineRun(dataDir));
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
    // A user's own client starts at that user's logon, from the user's Run key: no administrator
    // is needed, and it fits settings kept per user.
    made->autostart = std::make_unique<platform::RunKeyAutostart>(
        std::move(command), platform::kRunValueName,
        IsMachineRun(made->dataDir) ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER);
    made->facts = std::make_unique<platform::WindowsSystemFacts>();
    made->changes = std::make_unique<platform::IpHelperChanges>();
    made->datagrams = std::make_unique<platform::WinSockDatagrams>(made->changes.get());
    made->resolver = platform::ResolveHost;
    made->channel = OpenChannel(dataDir);
    made->watchStopRequests = [](std::function<void()> onStop, bool asService) {
        return platform::WatchStopRequests(std::move(onStop), asService);
    };
    // The service runs on the system data dir with the machine's key: the install run takes
    // this client's account, addresses and lines from a private file, as an elevated run gets
    // no standard input.
    made->installService = [dir = made->dataDir](bool install) {
        const std::filesystem::path program = platform::ExecutablePath();
        if (program.empty()) throw std::runtime_error("this program's path is unknown");
        const std::filesystem::path system = SystemDataDir();
        std::vector<std::string> command = ServiceSwitchCommand(program, system, install, true);
        std::error_code same;
        std::optional<CarriedFile> carried;
        if (install && !std::filesystem::equivalent(system, dir, same)) {
            carried.emplace(
                dir / "CarryOver.txt",
                EncodeCarryOver(*OpenSettings(dir), ReadLinesFile(dir / kLinesFileName)));
            command.insert(command.end(), {"--carry-over-file", carried->path.string()});
        }
        // A user is asked for consent, as the service control manager wants an administrator.
        const int code = platform::RunProgramAsAdministrator(command);
        if (code != 0)
            throw std::runtime_error("the install run ended with exit code " +
                                     std::to_string(code));
        return true;
    };
    // The service control manager starts the program with --service; the host then hears its
    // stop control through the watcher.
    made->startedAsService = false;
    return made;
}

}  // namespace vorta::host
