// vorta: the client. Without a window it runs headless; `config` and `status` manage it.

#include <cstdlib>
#include <iostream>

#include "app/CommandLine.h"
#include "app/HeadlessView.h"
#include "app/ProgramMain.h"
#include "app/ShowWindow.h"
#include "base/Translate.h"
#include "cli/Commands.h"
#include "cli/LogCommand.h"
#include "host/CarryOver.h"
#include "host/ClientHost.h"
#include "platform/AtomicFile.h"
#include "protocol/DebugLog.h"
#include "service/ServiceHost.h"

namespace {

using namespace vorta;
using cli::kExitUsage;
using host::RequestKind;
constexpr const char* kVersion = "1.0";

// Writes what the window carried over (on standard input, or in `file`) into the service's data
// dir, under the lock a client of that dir holds; why it could not, or empty.
std::string TakeCarryOver(host::HostPlatform& platform, const std::optional<std::string>& file) {
    constexpr std::size_t kLimit = 64 * 1024;
    std::string text;
    if (file) {
        try {
            const auto read = platform::ReadOwnFile(*file, kLimit + 1);
            if (!read) return "the carried settings are not in " + *file;
            text = *read;
        } catch (const std::exception& e) {
            return e.what();
        }
    } else {
        char buffer[4096];
        while (text.size() <= kLimit &&
               (std::cin.read(buffer, sizeof buffer) || std::cin.gcount() > 0))
            text.append(buffer, static_cast<std::size_t>(std::cin.gcount()));
    }
    if (text.size() > kLimit) return "the carried settings are too long";
    try {
        const CarryOver carried = DecodeCarryOver(text);
        // Held only while the files are written; the service may start right after.
        const auto lock = host::OpenChannel(platform.dataDir);
        if (!lock->Lock())
            return "a client runs on " + platform.dataDir.string() + "; stop it first";
        ApplyCarryOver(carried, *platform.settings, platform.dataDir / kLinesFileName);
        std::cerr << "vorta: the service on " << platform.dataDir.string()
                  << " takes over the account, the service addresses and " << carried.lines.size()
                  << " line(s)\n";
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

// The options' configuration with what the test hooks allow.
ClientConfig RunConfig(const app::CommandLine& cl) {
    ClientConfig config = app::ConfigFrom(cl, true);
    host::ApplyTestSettings(config);
    return config;
}

// -install / -uninstall. The service's data dir must be root's own; an install takes what the
// window carried over and switches the desktop autostart off (the service replaces it).
int InstallRun(const app::CommandLine& cl, host::HostPlatform& platform) {
    const bool install = cl.serviceSwitch == ServiceSwitch::Install;
    if (install) {
        std::string why = host::ServiceDataDirProblem(platform.dataDir);
        if (why.empty() && cl.carryOver) why = TakeCarryOver(platform, cl.carryOverFile);
        if (!why.empty()) {
            std::cerr << "vorta: " << Tr(kInstallFailed) << ": " << why << "\n";
            return 1;
        }
    }
    const int code =
        RunServiceSwitch(*platform.services, cl.serviceSwitch, cl.silent,
                         VortaServiceDefinition(host::ExecutablePath(), platform.dataDir),
                         std::cout, std::cerr, cl.now);
    if (install && code == 0) {
        try {
            platform.settings->WriteSetting("AutoRunAsOSStart", "0");
            platform.autostart->SetAutostart(false);
        } catch (const std::exception& e) {
            std::cerr << "vorta: the autostart entry could not be removed: " << e.what() << "\n";
        }
    }
    return code;
}

int Run(const app::CommandLine& cl, const std::filesystem::path& dataDir,
        const std::vector<std::string>& args) {
    // On a desktop a plain start shows the window.
    if (!cl.headless && !cl.service && cl.serviceSwitch == ServiceSwitch::None)
        if (const std::optional<int> code = app::ShowWindow(cl, args)) return *code;
    const auto platform = host::MakePlatform(dataDir);
    // The install run registers or removes the service and ends; it skips the instance check.
    if (cl.serviceSwitch != ServiceSwitch::None) return InstallRun(cl, *platform);
    const bool serviceMode = cl.service || platform->startedAsService;
    if (serviceMode) {
        if (const std::string why = host::ServiceDataDirProblem(platform->dataDir); !why.empty()) {
            std::cerr << (platform->logPriorities ? "<3>" : "")
                      << "vorta: the service does not run on this data dir: " << why << "\n";
            return platform::kExitServiceRefused;
        }
    }

    app::HeadlessView view(std::cerr, platform->logPriorities);
    host::ClientHost run(*platform, RunConfig(cl), view, serviceMode);
    view.Attach(&run.Client(), [&run] { run.Quit(); });
    std::string refusal;
    switch (run.Start(refusal)) {
        case host::ClientHost::Outcome::OtherShown:
            return 0;
        case host::ClientHost::Outcome::Refused:
            std::cerr << (platform->logPriorities ? "<3>" : "") << "vorta: " << refusal << "\n";
            // The service manager must not start it again and again while the holder runs.
            return serviceMode ? platform::kExitServiceRefused : 1;
        case host::ClientHost::Outcome::Started:
            break;
    }
    run.Run();
    run.Stop();
    return 0;
}

}  // namespace

int vorta::app::ProgramMain(const std::vector<std::string>& args) {
    app::CommandLine cl;
    try {
        cl = app::ParseCommandLine(args);
    } catch (const std::invalid_argument& e) {
        std::cerr << "vorta: " << e.what() << "\n" << app::UsageText();
        return kExitUsage;
    }
    // The service's own data dir is the system's, whoever runs the install (on Windows an
    // administrator, whose default is a folder of that user's).
    const std::filesystem::path dataDir = cl.dataDir ? std::filesystem::path(*cl.dataDir)
                                          : cl.serviceSwitch != ServiceSwitch::None
                                              ? host::SystemDataDir()
                                              : host::DefaultDataDir();
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
                return cli::ConfigShow(dataDir);
            case app::Command::Lines:
                return cli::Lines(dataDir, cl.linesArgs);
            case app::Command::ConfigSet:
                return cli::ConfigSet(dataDir, cl.name, cl.value);
            case app::Command::Status:
                return cli::Status(dataDir, cl.json);
            case app::Command::Logon:
                return cli::ClientCommand(dataDir, {RequestKind::Logon});
            case app::Command::Logoff:
                return cli::ClientCommand(dataDir, {RequestKind::Logoff});
            case app::Command::Domains:
                return cli::ClientCommand(dataDir, {RequestKind::Domains, cl.json, {}});
            case app::Command::Log:
                return cli::Log(dataDir, cl.follow, cl.json, std::cout);
            case app::Command::Run:
                return Run(cl, dataDir, args);
        }
    } catch (const std::exception& e) {
        std::cerr << "vorta: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
