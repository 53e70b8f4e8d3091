// vorta: the client. Without a window it runs headless; `config` and `status` manage it.

#include <pthread.h>
#include <signal.h>

#include <cstdlib>
#include <future>
#include <iostream>
#include <thread>

#include "app/CommandLine.h"
#include "app/HeadlessView.h"
#include "core/Client.h"
#include "core/LinesCommand.h"
#include "core/Settings.h"
#include "lines/LineInfo.h"
#include "platform/linux/FileSettingsStore.h"
#include "platform/linux/NetlinkTables.h"
#include "platform/linux/Paths.h"
#include "platform/linux/PppdRemoteAccess.h"
#include "platform/linux/Process.h"
#include "platform/linux/SystemdServiceManager.h"
#include "platform/linux/UnixInstanceChannel.h"
#include "platform/linux/XdgAutostart.h"
#include "protocol/ResultCodes.h"
#include "protocol/ServiceUrls.h"
#include "service/ServiceHost.h"

namespace {

using namespace vorta;
constexpr const char* kVersion = "1.0";
constexpr int kExitUsage = 2;
constexpr int kExitNotRunning = 3;

std::filesystem::path SettingsFile(const std::filesystem::path& dataDir) {
    return dataDir / "settings.conf";
}

int ConfigShow(const std::filesystem::path& dataDir) {
    platform::FileSettingsStore store(SettingsFile(dataDir));
    for (std::string_view name : kSettingNames) {
        std::string value = store.ReadSetting(name);
        if (name == "UserPwd" && !value.empty()) value = "********";
        std::cout << name << "=" << value << "\n";
    }
    return 0;
}

int ConfigSet(const std::filesystem::path& dataDir, const std::string& name,
              const std::string& value) {
    if (!IsSettingName(name)) {
        std::cerr << "vorta: unknown setting " << name << "\n";
        return kExitUsage;
    }
    platform::FileSettingsStore store(SettingsFile(dataDir));
    store.WriteSetting(name, value);
    return 0;
}

int Status(const std::filesystem::path& dataDir, bool json) {
    platform::UnixInstanceChannel channel(dataDir);
    const auto reply = channel.Ask(json ? platform::kRequestStatusJson : platform::kRequestStatus);
    if (!reply) {
        std::cerr << "vorta: no client is running for " << dataDir.string() << "\n";
        return kExitNotRunning;
    }
    std::cout << *reply;
    return 0;
}

// Lines requests travel over the instance channel as tab-separated words.
constexpr const char* kRequestLines = "LINES";

std::string EncodeLinesRequest(const std::vector<std::string>& args) {
    std::string request = kRequestLines;
    for (const auto& arg : args) request += "\t" + arg;
    return request;
}

std::vector<std::string> DecodeLinesRequest(const std::string& request) {
    std::vector<std::string> args;
    std::size_t at = request.find('\t');
    while (at != std::string::npos) {
        const std::size_t next = request.find('\t', at + 1);
        args.push_back(
            request.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1));
        at = next;
    }
    return args;
}

// The reply carries the exit code on its first line.
std::string EncodeLinesReply(const LinesCommandResult& result) {
    return std::to_string(result.exitCode) + "\n" + result.output;
}

int Lines(const std::filesystem::path& dataDir, const std::vector<std::string>& args) {
    for (const auto& arg : args)
        if (arg.find_first_of("\t\n\r") != std::string::npos) {
            std::cerr << "vorta: a value holds a tab or a line break\n";
            return kExitUsage;
        }
    // A running client holds the lines file: it makes the change so nothing is overwritten.
    platform::UnixInstanceChannel channel(dataDir);
    LinesCommandResult result;
    if (const auto reply = channel.Ask(EncodeLinesRequest(args))) {
        const std::size_t eol = reply->find('\n');
        result.exitCode = ResultCodeToInt(reply->substr(0, eol), 1);
        result.output = eol == std::string::npos ? "" : reply->substr(eol + 1);
    } else {
        FileLinesTarget target(dataDir / kLinesFileName);
        result = RunLinesCommand(args, target);
    }
    (result.exitCode == 0 ? std::cout : std::cerr) << result.output;
    return result.exitCode;
}

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
    const bool serviceMode = cl.service || services.IsServiceAccount();

    EventLoop loop;
    SignalWatcher signals(loop);
    platform::UnixInstanceChannel channel(dataDir);
    if (!serviceMode) {
        // A running client of this data dir is asked to show itself instead.
        if (channel.Ask(platform::kRequestShow)) return 0;
    }

    ClientConfig config;
    config.serviceUrl = cl.serviceUrl.value_or(std::string(kDefaultServiceUrl));
    config.lineUrlTemplate = cl.lineUrlTemplate.value_or(std::string(kDefaultLineUrlTemplate));
    config.probeUrl = cl.probeUrl.value_or("");
    config.headless = true;
    if (cl.updateRestSeconds) config.updateRest = std::chrono::seconds(*cl.updateRestSeconds);
    // Test-only: the lab shortens the 40-second heartbeat interval of a pair.
    if (const char* interval = std::getenv("VORTA_TEST_HEARTBEAT_INTERVAL")) {
        const int seconds = std::atoi(interval);
        if (seconds > 0) config.clubTiming.interval = std::chrono::seconds(seconds);
    }
    if (cl.pair)
        config.pair = *cl.pair == "master"   ? ClientConfig::Pair::Master
                      : *cl.pair == "backup" ? ClientConfig::Pair::Backup
                                             : ClientConfig::Pair::BackupInLan;

    platform::FileSettingsStore store(SettingsFile(dataDir));
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
    ClientHooks hooks;
    hooks.installService = [&absoluteDataDir](bool install) {
        const std::filesystem::path program = platform::ExecutablePath();
        if (program.empty()) return false;
        return platform::RunProgram(ServiceSwitchCommand(program, absoluteDataDir, install))
                   .exitCode == 0;
    };
    TClient client(config, platform, view, loop, std::move(hooks));
    view.Attach(&client, [&loop] { loop.Quit(); });

    const bool claimed = channel.Claim([&](const std::string& request) -> std::string {
        if (request == platform::kRequestShow) {
            loop.Post(ClientEvent(EventId::ClientShow));
            return "OK\n";
        }
        if (request == platform::kRequestStatus || request == platform::kRequestStatusJson) {
            auto report = std::make_shared<std::promise<std::string>>();
            auto future = report->get_future();
            const bool json = request == platform::kRequestStatusJson;
            loop.Post(ClientEvent(
                [&client, report, json] { report->set_value(client.StatusReport(json)); }));
            if (future.wait_for(std::chrono::seconds(5)) != std::future_status::ready)
                return "the client is busy\n";
            return future.get();
        }
        if (request.starts_with(kRequestLines)) {
            auto reply = std::make_shared<std::promise<std::string>>();
            auto future = reply->get_future();
            loop.Post(ClientEvent([&client, reply, args = DecodeLinesRequest(request)] {
                LinesCommandResult result{1, "the client has no lines manager\n"};
                if (TLinesMng* manager = client.LinesMng()) {
                    ManagerLinesTarget target(*manager);
                    result = RunLinesCommand(args, target);
                }
                reply->set_value(EncodeLinesReply(result));
            }));
            if (future.wait_for(std::chrono::seconds(30)) != std::future_status::ready)
                return "1\nthe client is busy\n";
            return future.get();
        }
        return "unknown request\n";
    });
    if (!claimed) {
        if (!serviceMode) return 0;  // another instance holds this data dir
        std::cerr << "vorta: warning: another client uses " << dataDir.string() << "\n";
    }

    client.StartClient(serviceMode);
    loop.Run({});
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
    try {
        switch (cl.command) {
            case app::Command::Help:
                std::cout << app::UsageText();
                return 0;
            case app::Command::Version:
                std::cout << "vorta " << kVersion << "\n";
                return 0;
            case app::Command::ConfigShow:
                return ConfigShow(dataDir);
            case app::Command::Lines:
                return Lines(dataDir, cl.linesArgs);
            case app::Command::ConfigSet:
                return ConfigSet(dataDir, cl.name, cl.value);
            case app::Command::Status:
                return Status(dataDir, cl.json);
            case app::Command::Run:
                return Run(cl, dataDir);
        }
    } catch (const std::exception& e) {
        std::cerr << "vorta: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
