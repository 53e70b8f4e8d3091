#include "app/CommandLine.h"

#include "base/AsciiText.h"

#include <charconv>
#include <stdexcept>

namespace vorta::app {
namespace {

bool IsSwitch(const std::string& arg, const char* word) {
    return arg.size() > 1 && (arg[0] == '-' || arg[0] == '/' || arg[0] == '\\') &&
           AsciiIEquals(std::string_view(arg).substr(1), word);
}

}  // namespace

bool IsInstallSwitch(const std::vector<std::string>& args) {
    for (const auto& arg : args)
        if (IsSwitch(arg, "INSTALL") || IsSwitch(arg, "UNINSTALL")) return true;
    return false;
}

std::string UsageText() {
    return "usage: vorta [OPTIONS] [COMMAND]\n"
           "\n"
           "Commands:\n"
           "  (none), --headless       run the client without a window until SIGTERM or SIGINT;\n"
           "                           it logs on with the saved credentials\n"
           "  --service                the same as the system service (what the unit runs)\n"
           "  -install, -uninstall     register or remove the systemd unit VortaService for this\n"
           "                           program and data dir (root; the data dir must be root's\n"
           "                           own, /var/lib/vorta by default); -silent: no message;\n"
           "                           --carry-over: take the account, service addresses and\n"
           "                           lines from standard input (what the window sends);\n"
           "                           --carry-over-file FILE: from FILE instead;\n"
           "                           --now: also start the service (stop it, on -uninstall)\n"
           "  config show              print the saved settings\n"
           "  config set NAME VALUE    change one saved setting (UserName, UserPwd, AutoLogon,\n"
           "                           UpdateSysInfo, AutoRunAsOSStart, IsInNet,\n"
           "                           IsMasterHost, IsInLANBack: flags are 1 or 0; ServiceUrl,\n"
           "                           LineUrlTemplate, ProbeUrl: empty for the default;\n"
           "                           HoldDown: seconds the main group must stay up before\n"
           "                           it is taken back, 5 by default);\n"
           "                           config set UserPwd - reads the password from stdin\n"
           "  status [--json]          ask the running client for its state\n"
           "  logon, logoff            log the running client on or off\n"
           "  domains [--json]         fetch and print the subscriber's domains\n"
           "  log [--follow] [--json]  the running client's log, newest last; --follow: then\n"
           "                           every new entry until interrupted; --json: one object a\n"
           "                           line\n"
           "  lines list [--json]      the lines, numbered from 1\n"
           "  lines add --kind dialup|weblogin|cablemodem|lan --entry NAME [--user NAME\n"
           "            --password TEXT|-] [--backup] [--necessary]\n"
           "  lines modify INDEX [--user NAME] [--password TEXT|-] [--backup|--main]\n"
           "            [--necessary|--optional]\n"
           "  lines delete INDEX       (through the running client when one runs)\n"
           "  --help, --version\n"
           "\n"
           "Options:\n"
           "  --data-dir DIR           settings and lines file (default: /var/lib/vorta for root,\n"
           "                           else $XDG_CONFIG_HOME/vorta)\n"
           "  --service-url URL        the service's XML gateway\n"
           "  --line-url-template URL  per-line gateway URL with one %s for the line number\n"
           "  --probe-url URL          connectivity probe of web-login lines\n"
           "  --pair master|backup|backup-lan  join a master/backup pair at start (headless)\n"
           "  --update-rest SECONDS    rest of the address report loop after a pass (default 40)\n"
           "  --verbose                also print why exchanges failed and what errors the client\n"
           "                           otherwise keeps silent about\n";
}

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine cl;
    std::vector<std::string> words;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::optional<std::string>& out) {
            if (i + 1 >= args.size()) throw std::invalid_argument(arg + " needs a value");
            out = args[++i];
        };
        // After "lines", every word that is not a global option belongs to the lines command.
        const bool inLines = !words.empty() && words[0] == "lines";
        if (arg == "--data-dir")
            value(cl.dataDir);
        else if (arg == "--service-url")
            value(cl.serviceUrl);
        else if (arg == "--line-url-template")
            value(cl.lineUrlTemplate);
        else if (arg == "--probe-url")
            value(cl.probeUrl);
        else if (arg == "--pair") {
            value(cl.pair);
            if (*cl.pair != "master" && *cl.pair != "backup" && *cl.pair != "backup-lan")
                throw std::invalid_argument("--pair takes master, backup or backup-lan");
        } else if (arg == "--update-rest") {
            std::optional<std::string> text;
            value(text);
            int seconds = 0;
            const auto [end, ec] =
                std::from_chars(text->data(), text->data() + text->size(), seconds);
            if (ec != std::errc() || end != text->data() + text->size() || seconds < 1 ||
                seconds > 86400)
                throw std::invalid_argument(
                    "--update-rest takes a number of seconds from 1 to 86400");
            cl.updateRestSeconds = seconds;
        } else if (inLines)
            cl.linesArgs.push_back(arg);
        else if (arg == "--headless")
            cl.headless = true;
        else if (arg == "--json")
            cl.json = true;
        else if (arg == "--follow" || arg == "-f")
            cl.follow = true;
        else if (arg == "--verbose")
            cl.verbose = true;
        else if (arg == "--help" || arg == "-h")
            cl.command = Command::Help;
        else if (arg == "--version")
            cl.command = Command::Version;
        else if (arg == "--service")
            cl.service = true;
        else if (arg == "--carry-over")
            cl.carryOver = true;
        else if (arg == "--carry-over-file") {
            value(cl.carryOverFile);
            cl.carryOver = true;
        } else if (arg == "--now")
            cl.now = true;
        else if (IsSwitch(arg, "INSTALL"))
            cl.serviceSwitch = ServiceSwitch::Install;
        else if (IsSwitch(arg, "UNINSTALL"))
            cl.serviceSwitch = ServiceSwitch::Uninstall;
        else if (IsSwitch(arg, "SILENT"))
            cl.silent = true;
        else if (arg.starts_with("--"))
            throw std::invalid_argument("unknown option " + arg);
        else
            words.push_back(arg);
    }
    if (cl.command == Command::Help || cl.command == Command::Version) return cl;
    if (cl.carryOver && cl.serviceSwitch != ServiceSwitch::Install)
        throw std::invalid_argument("--carry-over goes with -install");
    if (cl.now && cl.serviceSwitch == ServiceSwitch::None)
        throw std::invalid_argument("--now goes with -install and -uninstall");

    if (cl.follow && (words.size() != 1 || words[0] != "log"))
        throw std::invalid_argument("--follow goes with log");
    if (words.empty()) {
        if (cl.json) throw std::invalid_argument("--json goes with status, domains and log");
        return cl;
    }
    if (cl.headless || cl.service)
        throw std::invalid_argument(std::string(cl.headless ? "--headless" : "--service") +
                                    " takes no command");
    if (cl.serviceSwitch != ServiceSwitch::None)
        throw std::invalid_argument("-install and -uninstall take no command");
    if (words[0] == "lines") {
        if (cl.linesArgs.empty())
            throw std::invalid_argument("usage: vorta lines list|add|modify|delete ...");
        cl.command = Command::Lines;
        return cl;
    }
    if (words[0] == "status" || words[0] == "logon" || words[0] == "logoff" ||
        words[0] == "domains" || words[0] == "log") {
        if (words.size() != 1) throw std::invalid_argument(words[0] + " takes no arguments");
        cl.command = words[0] == "status"    ? Command::Status
                     : words[0] == "logon"   ? Command::Logon
                     : words[0] == "logoff"  ? Command::Logoff
                     : words[0] == "domains" ? Command::Domains
                                             : Command::Log;
    } else if (words[0] == "config") {
        if (words.size() == 2 && words[1] == "show") {
            cl.command = Command::ConfigShow;
        } else if (words.size() == 4 && words[1] == "set") {
            cl.command = Command::ConfigSet;
            cl.name = words[2];
            cl.value = words[3];
        } else {
            throw std::invalid_argument("usage: vorta config show | vorta config set NAME VALUE");
        }
    } else {
        throw std::invalid_argument("unknown command " + words[0]);
    }
    if (cl.json && cl.command != Command::Status && cl.command != Command::Domains &&
        cl.command != Command::Log)
        throw std::invalid_argument("--json goes with status, domains and log");
    return cl;
}

ClientConfig ConfigFrom(const CommandLine& cl, bool headless) {
    ClientConfig config;
    // Options override the stored addresses for this run only.
    config.serviceUrl = cl.serviceUrl.value_or("");
    config.lineUrlTemplate = cl.lineUrlTemplate.value_or("");
    config.probeUrl = cl.probeUrl.value_or("");
    config.headless = headless;
    if (cl.updateRestSeconds) config.updateRest = std::chrono::seconds(*cl.updateRestSeconds);
    if (cl.pair)
        config.pair = *cl.pair == "master"   ? ClientConfig::Pair::Master
                      : *cl.pair == "backup" ? ClientConfig::Pair::Backup
                                             : ClientConfig::Pair::BackupInLan;
    return config;
}

bool WantsConsole(const CommandLine& cl) {
    return cl.command != Command::Run || cl.headless || cl.service ||
           cl.serviceSwitch != ServiceSwitch::None;
}

}  // namespace vorta::app
