#include "platform/linux/SystemdServiceManager.h"

#include "platform/linux/Paths.h"

#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>

#include "base/StopWait.h"
#include "platform/AtomicFile.h"
#include "platform/ThisProcess.h"
#include "platform/linux/Process.h"
#include "protocol/TextCodec.h"

namespace vorta::platform {
namespace {

std::string UnitName(std::string_view service) {
    return std::string(service) + ".service";
}

// Sub-states of a unit on its way down, in order; reaching a later one is progress.
int StopCheckPoint(std::string_view active, std::string_view sub) {
    static constexpr std::array<std::string_view, 7> kStopSequence = {
        "stop-watchdog",  "stop-sigterm",  "stop-sigkill", "stop-post",
        "final-watchdog", "final-sigterm", "final-sigkill"};
    if (active == "inactive" || active == "failed") return 9;
    const auto at = std::find(kStopSequence.begin(), kStopSequence.end(), sub);
    if (at != kStopSequence.end()) return static_cast<int>(at - kStopSequence.begin()) + 1;
    return active == "deactivating" ? 1 : 0;
}

}  // namespace

SystemdServiceManager SystemdServiceManager::FromEnvironment() {
    const char* unitDir = TestSetting("VORTA_SYSTEMD_UNIT_DIR");
    const char* systemctl = TestSetting("VORTA_SYSTEMCTL");
    std::vector<std::filesystem::path> search;
    if (unitDir == nullptr) search = {"/usr/lib/systemd/system", "/lib/systemd/system"};
    return SystemdServiceManager(unitDir ? unitDir : kDefaultUnitDir, std::move(search),
                                 systemctl ? systemctl : "systemctl");
}

std::filesystem::path SystemdServiceManager::UnitFile(std::string_view name) const {
    std::error_code ec;
    const std::filesystem::path own = unitDir_ / UnitName(name);
    if (std::filesystem::is_regular_file(own, ec)) return own;
    for (const auto& dir : searchDirs_)
        if (std::filesystem::is_regular_file(dir / UnitName(name), ec)) return dir / UnitName(name);
    return own;
}

bool SystemdServiceManager::IsServiceInstalled(std::string_view name) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(unitDir_ / UnitName(name), ec)) return true;
    // A packaged unit counts once it is enabled.
    return std::filesystem::exists(
        std::filesystem::symlink_status(unitDir_ / "multi-user.target.wants" / UnitName(name), ec));
}

bool SystemdServiceManager::IsServiceRunning(std::string_view name) {
    if (!IsServiceInstalled(name)) return false;
    const std::optional<UnitState> state = QueryState(UnitName(name));
    return state && !state->stopped;
}

std::string SystemdServiceManager::UnitAccount(const std::filesystem::path& unitFile) {
    std::ifstream in(unitFile);
    std::string line;
    std::string user = "root";
    bool inService = false;
    while (std::getline(in, line)) {
        const std::string_view text = TrimControl(line);
        if (text.starts_with('['))
            inService = text == "[Service]";
        else if (inService && text.starts_with("User="))
            user = std::string(TrimControl(text.substr(5)));
    }
    return user;
}

bool SystemdServiceManager::IsServiceAccount() {
    if (!IsServiceInstalled(kServiceName)) return false;
    const std::string account = UnitAccount(UnitFile(kServiceName));
    const std::string me = CurrentUserName();
    return !me.empty() && strcasecmp(account.c_str(), me.c_str()) == 0;
}

std::string SystemdServiceManager::UnitWord(std::string_view word) {
    if (word.find_first_of("\r\n") != std::string_view::npos)
        throw std::runtime_error("a service argument holds a line break");
    std::string escaped;
    bool quote = word.empty();
    for (const char c : word) {
        if (c == '%' || c == '$') escaped += c;  // "%%" and "$$" stand for the character
        if (c == '"' || c == '\\') escaped += '\\';
        if (c == ' ' || c == '\t' || c == '"' || c == '\'' || c == '\\' || c == ';') quote = true;
        escaped += c;
    }
    return quote ? "\"" + escaped + "\"" : escaped;
}

std::string SystemdServiceManager::UnitText(const ServiceDefinition& service) {
    if (service.command.empty()) throw std::runtime_error("the service has no program");
    std::string exec;
    for (const auto& word : service.command) exec += (exec.empty() ? "" : " ") + UnitWord(word);
    std::string description;
    for (const char c : service.displayName) {
        if (c == '\r' || c == '\n') throw std::runtime_error("the service name holds a line break");
        description += c == '%' ? "%%" : std::string(1, c);
    }
    return "[Unit]\n"
           "Description=" +
           description +
           "\n"
           "Wants=network-online.target\n"
           "After=network-online.target\n"
           "\n"
           "[Service]\n"
           // Ready once the client runs; its loop says it is alive, and a hung one is restarted.
           "Type=notify\n"
           "NotifyAccess=main\n"
           "ExecStart=" +
           exec +
           "\n"
           "WatchdogSec=30\n"
           "SyslogIdentifier=vorta\n"
           // What keeps dial-up working: pppd and its ip-up scripts write /etc (resolv.conf) and
           // /run, so /usr alone is read-only; no home is needed, and no privilege is gained.
           "NoNewPrivileges=yes\n"
           "ProtectHome=yes\n"
           "ProtectSystem=yes\n"
           // The client's routes, bound sockets and channel group; pppd's links (its raw PPPoE
           // socket, its modprobe of ppp, a modem's tty) and the files it writes as root.
           "CapabilityBoundingSet=CAP_NET_ADMIN CAP_NET_RAW CAP_CHOWN CAP_DAC_OVERRIDE CAP_FOWNER CAP_KILL CAP_SETUID CAP_SETGID CAP_SYS_MODULE CAP_SYS_TTY_CONFIG\n"
           "Restart=on-failure\n"
           "RestartSec=5\n"
           "RestartPreventExitStatus=" +
           std::to_string(kExitServiceRefused) +
           "\n"
           "TimeoutStopSec=10\n"
           "\n"
           "[Install]\n"
           "WantedBy=multi-user.target\n";
}

int SystemdServiceManager::Systemctl(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {systemctl_};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv).exitCode;
}

namespace {
void Require(int exitCode, const std::string& what) {
    if (exitCode == -1) throw std::runtime_error(what + ": systemctl could not be run");
    if (exitCode != 0)
        throw std::runtime_error(what + " failed (systemctl exit " + std::to_string(exitCode) +
                                 ")");
}
}  // namespace

void SystemdServiceManager::InstallService(const ServiceDefinition& service) {
    const std::string text = UnitText(service);
    try {
        WriteFileAtomically(unitDir_ / UnitName(service.name), text, kWorldReadable);
    } catch (const std::exception& e) {
        throw std::runtime_error("cannot write the unit file: " + std::string(e.what()));
    }
    Require(Systemctl({"daemon-reload"}), "systemctl daemon-reload");
    Require(Systemctl({"enable", UnitName(service.name)}), "systemctl enable");
}

void SystemdServiceManager::UninstallService(std::string_view name) {
    if (!IsServiceInstalled(name))
        throw std::runtime_error(std::string(name) + " is not installed");
    Require(Systemctl({"disable", UnitName(name)}), "systemctl disable");
    std::error_code ec;
    std::filesystem::remove(unitDir_ / UnitName(name), ec);
    if (ec) throw std::runtime_error("cannot remove the unit file: " + ec.message());
    Require(Systemctl({"daemon-reload"}), "systemctl daemon-reload");
}

void SystemdServiceManager::StartInstalledService(std::string_view name) {
    Require(Systemctl({"start", UnitName(name)}), "systemctl start");
}

std::optional<SystemdServiceManager::UnitState> SystemdServiceManager::QueryState(
    std::string_view unit) {
    const ProcessResult shown = RunProgram(
        {systemctl_, "show", "--property=ActiveState", "--property=SubState", std::string(unit)},
        true);
    if (shown.exitCode != 0) return std::nullopt;
    std::string active, sub;
    std::size_t start = 0;
    while (start < shown.output.size()) {
        std::size_t end = shown.output.find('\n', start);
        if (end == std::string::npos) end = shown.output.size();
        const std::string_view line(shown.output.data() + start, end - start);
        if (line.starts_with("ActiveState=")) active = line.substr(12);
        if (line.starts_with("SubState=")) sub = line.substr(9);
        start = end + 1;
    }
    if (active.empty()) return std::nullopt;
    return UnitState{active == "inactive" || active == "failed", StopCheckPoint(active, sub)};
}

bool SystemdServiceManager::StopOwnService(std::stop_token stop) {
    const std::string unit = UnitName(kServiceName);
    if (!IsServiceInstalled(kServiceName))
        throw std::runtime_error(std::string(kServiceName) + " is not installed");
    if (Systemctl({"stop", "--no-block", unit}) != 0) return false;  // the stop was refused
    std::optional<UnitState> state = QueryState(unit);
    if (!state) throw std::runtime_error("the state of " + unit + " cannot be read");
    const auto deadline = std::chrono::steady_clock::now() + stopLimit;
    while (!state->stopped && std::chrono::steady_clock::now() < deadline) {
        const int remembered = state->checkPoint;
        if (!SleepUnlessStopped(stop, stopPoll)) return false;
        const std::optional<UnitState> next = QueryState(unit);
        if (!next) break;
        state = next;
        if (state->checkPoint < remembered) break;  // going backwards: no longer stopping
    }
    return state->stopped;
}

}  // namespace vorta::platform
