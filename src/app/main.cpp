// vorta: the client. Without a window it runs headless; `config` and `status` manage it.

#include <cstdlib>
#include <iostream>

#include "app/CommandLine.h"
#include "app/HeadlessView.h"
#include "cli/Commands.h"
#include "host/ClientHost.h"
#include "protocol/DebugLog.h"
#include "service/ServiceHost.h"

namespace {

using namespace vorta;
using cli::kExitUsage;
using host::RequestKind;
constexpr const char* kVersion = "1.0";

// The options' configuration with what the test hooks allow.
ClientConfig RunConfig(const app::CommandLine& cl) {
    ClientConfig config = app::ConfigFrom(cl, true);
    host::ApplyTestSettings(config);
    return config;
}

int Run(const app::CommandLine& cl, const std::filesystem::path& dataDir,
        const std::vector<std::string>& args) {
    // On a desktop a plain start shows the window, which is a program of its own so that the
    // headless client and the service never load the GUI libraries.
    if (!cl.headless && !cl.service && cl.serviceSwitch == ServiceSwitch::None &&
        host::DisplayAvailable()) {
        if (const auto window = host::WindowProgram(); !window.empty()) {
            const std::string why = host::ReplaceWith(window, args);
            std::cerr << "vorta: the window cannot start (" << why << "); running without it\n";
        }
    }
    const auto platform = host::MakePlatform(dataDir);
    // The install run registers or removes the service and ends; it skips the instance check.
    if (cl.serviceSwitch != ServiceSwitch::None)
        return RunServiceSwitch(*platform->services, cl.serviceSwitch, cl.silent,
                                VortaServiceDefinition(host::ExecutablePath(), platform->dataDir),
                                std::cout, std::cerr);
    const bool serviceMode = cl.service || platform->startedAsService;

    app::HeadlessView view(std::cerr);
    host::ClientHost run(*platform, RunConfig(cl), view, serviceMode);
    view.Attach(&run.Client(), [&run] { run.Quit(); });
    std::string refusal;
    switch (run.Start(refusal)) {
        case host::ClientHost::Outcome::OtherShown:
            return 0;
        case host::ClientHost::Outcome::Refused:
            std::cerr << "vorta: " << refusal << "\n";
            return 1;
        case host::ClientHost::Outcome::Started:
            break;
    }
    run.Run();
    run.Stop();
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
        cl.dataDir ? std::filesystem::path(*cl.dataDir) : host::DefaultDataDir();
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
            case app::Command::Run:
                return Run(cl, dataDir, args);
        }
    } catch (const std::exception& e) {
        std::cerr << "vorta: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
