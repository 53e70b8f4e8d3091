#pragma once
// The command line of the vorta program.

#include <optional>
#include <string>
#include <vector>

#include "core/Client.h"
#include "service/ServiceHost.h"

namespace vorta::app {

enum class Command {
    Run,
    Help,
    Version,
    ConfigShow,
    ConfigSet,
    Status,
    Lines,
    Logon,
    Logoff,
    Domains,
    Log
};

struct CommandLine {
    Command command = Command::Run;
    bool headless = false;
    // -install / -uninstall in any letter case after "-", "/" or "\": the service install run.
    ServiceSwitch serviceSwitch = ServiceSwitch::None;
    bool silent = false;     // -silent: the install run says nothing when it succeeds
    bool carryOver = false;  // --carry-over: the install run takes a user's settings on stdin
    // --carry-over-file FILE: from that file instead (an elevated run on Windows has no stdin)
    std::optional<std::string> carryOverFile;
    bool now = false;      // --now: the install run starts the service, the uninstall stops it
    bool service = false;  // --service: run as the system service
    bool json = false;
    bool follow = false;   // log --follow
    bool verbose = false;  // --verbose: the debug log on stderr
    std::optional<std::string> dataDir;
    std::optional<std::string> serviceUrl;
    std::optional<std::string> lineUrlTemplate;
    std::optional<std::string> probeUrl;
    std::optional<int> updateRestSeconds;  // the IP update loop's rest after a pass
    std::optional<std::string> pair;       // master, backup or backup-lan
    std::string name;                      // config set
    std::string value;                     // config set
    std::vector<std::string> linesArgs;    // the words and options after "lines"
};

// Parses argv[1..]; throws std::invalid_argument with a message for the user on bad input.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// True when an argument is "INSTALL" or "UNINSTALL" (any letter case) after "-", "/" or "\".
bool IsInstallSwitch(const std::vector<std::string>& args);

std::string UsageText();

// False only for a plain start, which shows the window on a desktop: every command, --headless,
// --service and the install run talk on the console they were started from.
bool WantsConsole(const CommandLine& cl);

// The run's configuration from the options (the stored settings fill in what they leave out).
ClientConfig ConfigFrom(const CommandLine& cl, bool headless);

}  // namespace vorta::app
