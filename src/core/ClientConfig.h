#pragma once
// What a client is built from: this run's options, the platform it runs on and the hooks of
// later subsystems.

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "base/NameResolver.h"
#include "base/Translate.h"
#include "club/ClubUtil.h"
#include "core/AutoLogonTrd.h"
#include "core/CommandOutcome.h"
#include "core/GetServiceTrd.h"
#include "platform/Autostart.h"
#include "platform/Datagrams.h"
#include "platform/NetworkChanges.h"
#include "platform/NetworkTables.h"
#include "platform/RemoteAccess.h"
#include "platform/ServiceManager.h"
#include "platform/SettingsStore.h"
#include "platform/SystemFacts.h"

namespace vorta {

struct ClientConfig {
    // The service's addresses for this run only; empty: the stored setting, else the default.
    std::string serviceUrl;
    std::string lineUrlTemplate;
    std::string probeUrl;  // the connectivity probe of web-login lines
    // Headless: no window; the saved credentials are used to log on by themselves.
    bool headless = false;
    std::chrono::milliseconds autoLogonPeriod = TAutoLogonTrd::kPeriod;
    std::chrono::milliseconds serviceListDelay = TGetServiceTrd::kDelay;
    std::chrono::milliseconds updateRest{40000};  // the IP update loop's rest after a pass
    HostResolver resolver;                        // none: the platform's resolver
    ClubTiming clubTiming;                        // the heartbeat's interval and port
    // This run's role in a pair in place of the stored one; it is stored only once the user
    // changes the role.
    enum class Pair { None, Master, Backup, BackupInLan } pair = Pair::None;
};

struct ClientPlatform {
    ClientPlatform(platform::ISettingsStore& settings, platform::IServiceManager& services,
                   platform::IAutostart& autostart)
        : settings(settings), services(services), autostart(autostart) {}

    platform::ISettingsStore& settings;
    platform::IServiceManager& services;
    platform::IAutostart& autostart;
    // The lines need the network tables; without them the client runs with no lines.
    platform::INetworkTables* network = nullptr;
    // The system's change notices, which drive the lines; without them the lines' own periodic
    // passes find every change.
    platform::NetworkChanges* changes = nullptr;
    platform::IRemoteAccess* ras = nullptr;
    std::filesystem::path linesFile;
    // The machine's description for the upload; without it the machine tells nothing.
    const platform::ISystemFacts* facts = nullptr;
    // The heartbeat's datagrams; without them the pair is not joined.
    platform::IDatagrams* datagrams = nullptr;
    // The system's resolver; without it only address literals are resolved.
    HostResolver resolver;
};

// Where later subsystems plug in; every hook is optional.
struct ClientHooks {
    std::function<void()> startSysInfoUpload;  // the one upload of a run
    // Runs the program's own install (or uninstall) run; true when it succeeded.
    std::function<bool(bool install)> installService;
    // Told (on the loop's thread) once an install or uninstall run from the window succeeded and
    // the user was told: a window then shows the service, or its own client again.
    std::function<void(bool install)> serviceSwitched;
};

// Called on the loop's thread once the command is done.
using CommandDone = std::function<void(CommandOutcome)>;

inline constexpr std::chrono::milliseconds kLineStateInterval{2600};
inline constexpr std::chrono::minutes kUpdateSysInfoInterval{30};
inline constexpr const char* kMemoNativeText =
    TrMark("为了更好地为您服务，本软件将采集您的系统信息。您可以利用下面选项关闭该功能。");

}  // namespace vorta
