// vorta: the client. Without a window it runs headless; `config` and `status` manage it.

#include <pthread.h>
#include <signal.h>

#include <cstdlib>
#include <iostream>
#include <thread>

#include "app/ChannelRequests.h"
#include "app/CommandLine.h"
#include "app/Commands.h"
#include "app/HeadlessView.h"
#include "core/Client.h"
#include "lines/LineInfo.h"
#include "platform/linux/FileSettingsStore.h"
#include "platform/linux/LinuxSystemFacts.h"
#include "platform/linux/NetlinkTables.h"
#include "platform/linux/Paths.h"
#include "platform/linux/PppdRemoteAccess.h"
#include "platform/linux/Process.h"
#include "platform/linux/SystemResolver.h"
#include "platform/linux/SystemdServiceManager.h"
#include "platform/linux/UdpDatagrams.h"
#include "platform/linux/UnixInstanceChannel.h"
#include "platform/linux/XdgAutostart.h"
#include "protocol/DebugLog.h"
#include "protocol/ServiceUrls.h"
#include "service/ServiceHost.h"

namespace {

using namespace vorta;
using app::kExitUsage;
constexpr const char* kVersion = "1.0";

// Blocks the stop signals in every thread; one thread waits for them and ends the loop.
class SignalWatcher {
public:
    explicit SignalWatcher(EventLoop& loop) {
        sigemptyset(&set_);
        sigaddset(&set_, SIGINT);
        sigaddset(&set_, SIGTERM);
        sigaddset(&set_, SIGUSR1);
        pthread_sigmask(SIG_BLOCK, &set_, nullptr);
        thread_ = std::jthread([this, &loop] {
            int sig = 0;
            sigwait(&set_, &sig);
            if (sig != SIGUSR1) loop.Quit();
        });
    }
    ~SignalWatcher() {
        pthread_kill(thread_.native_handle(), SIGUSR1);  // wakes the watcher when no signal came
    }

private:
    sigset_t set_{};
    std::jthread thread_;
};

int Run(const app::CommandLine& cl, const std::filesystem::path& dataDir) {
    // The unit and the autostart entry name the data dir whatever the current dir.
    const std::filesystem::path absoluteDataDir = std::filesystem::absolute(dataDir);
    platform::SystemdServiceManager services = platform::SystemdServiceManager::FromEnvironment();
    // The install run registers or removes the service and ends; it skips the instance check.
    if (cl.serviceSwitch != ServiceSwitch::None)
        return RunServiceSwitch(services, cl.serviceSwitch, cl.silent,
                                VortaServiceDefinition(platform::ExecutablePath(), absoluteDataDir),
                                std::cout, std::cerr);
    // A service start is one by systemd under the unit's account, or one asked for; root alone
    // is no service (sudo vorta beside the running service is a desktop start).
    const bool underSystemd = std::getenv("INVOCATION_ID") != nullptr;
    const bool serviceMode = cl.service || (underSystemd && services.IsServiceAccount());

    EventLoop loop;
    SignalWatcher signals(loop);
    platform::UnixInstanceChannel channel(dataDir);
    if (!serviceMode) {
        // A running client of this data dir is asked to show itself instead.
        if (channel.Ask(platform::kRequestShow)) return 0;
    }

    ClientConfig config;
    // Options override the stored addresses for this run only.
    config.serviceUrl = cl.serviceUrl.value_or("");
    config.lineUrlTemplate = cl.lineUrlTemplate.value_or("");
    config.probeUrl = cl.probeUrl.value_or("");
    config.headless = true;
    if (cl.updateRestSeconds) config.updateRest = std::chrono::seconds(*cl.updateRestSeconds);
    // Test-only: the lab shortens the 40-second heartbeat interval of a pair.
    if (const char* interval = platform::TestSetting("VORTA_TEST_HEARTBEAT_INTERVAL")) {
        const int seconds = std::atoi(interval);
        if (seconds > 0) config.clubTiming.interval = std::chrono::seconds(seconds);
    }
    if (cl.pair)
        config.pair = *cl.pair == "master"   ? ClientConfig::Pair::Master
                      : *cl.pair == "backup" ? ClientConfig::Pair::Backup
                                             : ClientConfig::Pair::BackupInLan;

    platform::FileSettingsStore store(dataDir / "settings.conf");
    platform::NetlinkTables network;
    // The pppd paths are settable for labs and unusual installs.
    platform::PppdRemoteAccess ras(network, platform::PppdPaths::FromEnvironment());
    // Autostart runs the program by its full path, with the data dir when it is not the default.
    std::vector<std::string> command = {platform::ExecutablePath().string()};
    if (absoluteDataDir != platform::DefaultDataDir())
        command.insert(command.end(), {"--data-dir", absoluteDataDir.string()});
    platform::XdgAutostart autostart(platform::XdgAutostart::DefaultDir(), command);
    app::HeadlessView view(std::cerr);
    ClientPlatform platform(store, services, autostart);
    platform.network = &network;
    platform.ras = &ras;
    platform.linesFile = dataDir / kLinesFileName;
    const platform::LinuxSystemFacts facts;
    platform::UdpDatagrams datagrams;
    platform.facts = &facts;
    platform.datagrams = &datagrams;
    platform.resolver = platform::ResolveHost;
    ClientHooks hooks;
    hooks.installService = [&absoluteDataDir](bool install) {
        const std::filesystem::path program = platform::ExecutablePath();
        if (program.empty()) return false;
        return platform::RunProgram(ServiceSwitchCommand(program, absoluteDataDir, install))
                   .exitCode == 0;
    };
    TClient client(config, platform, view, loop, std::move(hooks));
    view.Attach(&client, [&loop] { loop.Quit(); });

    app::ChannelRequests requests(client, loop, serviceMode);
    const bool claimed =
        channel.Claim([&](const std::string& request, platform::IRequestContext& context) {
            try {
                return requests.Handle(request, context);
            } catch (const std::exception& e) {
                // A request that fails is answered and told; the client goes on.
                const std::string what = e.what();
                loop.Post(ClientEvent([&client, what] { client.ReportFailure(what); }));
                return app::EncodeOutcome({1, "vorta: " + what + "\n"});
            }
        });
    if (!claimed && !serviceMode) {
        // Another instance holds this data dir: it was asked to show itself unless it did not
        // answer (it is starting, or its lock file belongs to another user).
        if (channel.Ask(platform::kRequestShow)) return 0;
        std::cerr << "vorta: another client holds " << dataDir.string() << " and does not answer\n";
        return 1;
    }
    if (!claimed) {
        // A service never runs beside another client of its data dir.
        const auto who = channel.Ask(platform::kRequestIdentify);
        std::string holder = "another client";
        if (who && !who->empty()) {
            const std::string text = who->substr(0, who->find('\n'));
            const std::size_t blank = text.find(' ');
            holder = "a client (pid " + text.substr(0, blank) + ", " +
                     (blank == std::string::npos ? "unknown" : text.substr(blank + 1)) + " mode)";
        }
        std::cerr << "vorta: " << holder << " holds " << dataDir.string()
                  << "; the service does not start beside it\n";
        return 1;
    }

    client.StartClient(serviceMode);
    loop.Run({});
    requests.Close();
    client.Shutdown();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    app::CommandLine cl;
    try {
        cl = app::ParseCommandLine(args);
    } catch (const std::invalid_argument& e) {
        std::cerr << "vorta: " << e.what() << "\n" << app::UsageText();
        return kExitUsage;
    }
    const std::filesystem::path dataDir =
        cl.dataDir ? std::filesystem::path(*cl.dataDir) : platform::DefaultDataDir();
    if (cl.verbose)
        SetDebugSink(
            [](const std::string& text) { std::cerr << "vorta: debug: " << text << "\n"; });
    try {
        switch (cl.command) {
            case app::Command::Help:
                std::cout << app::UsageText();
                return 0;
            case app::Command::Version:
                std::cout << "vorta " << kVersion << "\n";
                return 0;
            case app::Command::ConfigShow:
                return app::ConfigShow(dataDir);
            case app::Command::Lines:
                return app::Lines(dataDir, cl.linesArgs);
            case app::Command::ConfigSet:
                return app::ConfigSet(dataDir, cl.name, cl.value);
            case app::Command::Status:
                return app::Status(dataDir, cl.json);
            case app::Command::Logon:
                return app::ClientCommand(dataDir, app::kRequestLogon);
            case app::Command::Logoff:
                return app::ClientCommand(dataDir, app::kRequestLogoff);
            case app::Command::Domains:
                return app::ClientCommand(
                    dataDir, cl.json ? app::kRequestDomainsJson : app::kRequestDomains);
            case app::Command::Run:
                return Run(cl, dataDir);
        }
    } catch (const std::exception& e) {
        std::cerr << "vorta: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
