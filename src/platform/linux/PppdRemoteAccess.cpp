#include "platform/linux/PppdRemoteAccess.h"

#include <fcntl.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <thread>

#include "platform/AtomicFile.h"
#include "platform/linux/Paths.h"
#include "platform/linux/Process.h"
#include "platform/linux/UniqueFd.h"

extern char** environ;

namespace vorta::platform {
namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;
// How often a dial looks for the link's address, which the network tables do not announce.
constexpr auto kAddressCheck = std::chrono::milliseconds(50);
// How long a SIGKILLed pppd may take to be reaped before the caller moves on.
constexpr auto kReapAfterKill = std::chrono::milliseconds(250);
constexpr std::string_view kCredentialsPrefix = "vorta-ppp-";

// Removes the credentials file however the dial ends. Its name carries the creating process's
// pid, so that a later run can tell a crashed run's leftover from another client's live file.
class CredentialsFile {
public:
    CredentialsFile(const fs::path& dir, const std::string& text) {
        // A folder another user made (or may enter) would hand that user the password.
        if (const std::string why = PrivateFolderProblem(dir); !why.empty())
            throw std::runtime_error("the dial credentials cannot be written: " + why);
        std::string pattern =
            (dir / (std::string(kCredentialsPrefix) + std::to_string(::getpid()) + "-XXXXXX"))
                .string();
        const int fd = ::mkstemp(pattern.data());  // mode 0600
        if (fd < 0)
            throw std::runtime_error("cannot create the dial credentials file in " + dir.string());
        path_ = pattern;
        const bool written =
            ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::close(fd);
        if (!written) {
            ::unlink(path_.c_str());
            throw std::runtime_error("cannot write the dial credentials file");
        }
    }
    ~CredentialsFile() { ::unlink(path_.c_str()); }
    CredentialsFile(const CredentialsFile&) = delete;
    CredentialsFile& operator=(const CredentialsFile&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

fs::path DefaultCredentialsDir() {
    if (::geteuid() == 0) return "/run/vorta";
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
        return fs::path(runtime) / "vorta";
    return fs::temp_directory_path() / ("vorta-" + std::to_string(::geteuid()));
}

std::string Quoted(const std::string& value) {
    std::string out = "\"";
    for (char c : value) {
        if (c == '"' || c == '\\') out += '\\';
        if (c == '\n' || c == '\r') continue;  // an option value cannot span lines
        out += c;
    }
    return out + "\"";
}

bool Alive(pid_t pid) {
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

std::optional<pid_t> ParsePid(std::string_view text) {
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), pid);
    if (error != std::errc() || end != text.data() + text.size() || pid <= 0) return std::nullopt;
    return pid;
}

// Whether `name` is a credentials file whose creating process has ended. Names without a pid
// (vorta-ppp-XXXXXX) come from runs that did not record it: leftovers too.
bool LeftoverCredentials(const std::string& name) {
    if (!name.starts_with(kCredentialsPrefix)) return false;
    const std::string_view rest = std::string_view(name).substr(kCredentialsPrefix.size());
    const auto dash = rest.find('-');
    if (dash == std::string_view::npos) return rest.size() == 6;
    if (rest.size() - dash - 1 != 6) return false;
    const auto pid = ParsePid(rest.substr(0, dash));
    return pid && !Alive(*pid);
}

std::vector<std::string> CommandLine(const fs::path& procDir, pid_t pid) {
    std::ifstream in(procDir / std::to_string(pid) / "cmdline", std::ios::binary);
    std::vector<std::string> args;
    std::string arg;
    while (std::getline(in, arg, '\0')) args.push_back(arg);
    return args;
}

pid_t ParentOf(const fs::path& procDir, pid_t pid) {
    std::ifstream in(procDir / std::to_string(pid) / "stat");
    const std::string text(std::istreambuf_iterator<char>(in), {});
    // "PID (COMM) STATE PPID ...": COMM may hold spaces and parentheses.
    const auto close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream rest(text.substr(close + 1));
    std::string state;
    pid_t parent = 0;
    rest >> state >> parent;
    return parent;
}

// A pppd runs as itself; a script standing in for it runs under its interpreter.
bool IsPppd(const std::vector<std::string>& args, const fs::path& program) {
    if (args.empty()) return false;
    const std::string own = program.filename().string();
    const std::string first = fs::path(args[0]).filename().string();
    if (first == "pppd" || first == own) return true;
    return args.size() > 1 && fs::path(args[1]).filename().string() == own;
}

// The interface the peer file asks for: `ifname NAME`, else `unit N` (pppN); the last of each
// counts, as pppd applies options in order.
std::string PeerInterface(const fs::path& peersDir, const std::string& entry) {
    if (entry.empty() || entry.find('/') != std::string::npos) return {};
    std::ifstream in(peersDir / entry);
    std::string line, name, unit;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string key, value;
        if (!(words >> key >> value)) continue;
        if (key == "ifname") name = value;
        const auto digit = [](unsigned char c) { return std::isdigit(c) != 0; };
        if (key == "unit" && std::all_of(value.begin(), value.end(), digit)) unit = value;
    }
    if (!name.empty()) return name;
    return unit.empty() ? std::string() : "ppp" + unit;
}

}  // namespace

PppdPaths PppdPaths::FromEnvironment() {
    PppdPaths paths;
    const auto take = [](const char* variable, fs::path& field) {
        if (const char* value = TestSetting(variable)) field = value;
    };
    take("VORTA_PPPD", paths.program);
    take("VORTA_PPP_PEERS_DIR", paths.peersDir);
    take("VORTA_PPP_RUN_DIR", paths.runDir);
    return paths;
}

PppdRemoteAccess::PppdRemoteAccess(INetworkTables& tables, PppdPaths paths)
    : tables_(tables), paths_(std::move(paths)) {
    if (paths_.credentialsDir.empty()) paths_.credentialsDir = DefaultCredentialsDir();
    RemoveLeftoverCredentials();
}

PppdRemoteAccess::~PppdRemoteAccess() {
    for (auto& watcher : watchers_) watcher.request_stop();
    watchers_.clear();  // joins
}

void PppdRemoteAccess::RemoveLeftoverCredentials() {
    // A crash between writing the file and removing it leaves the password on disk.
    std::error_code ec;
    std::vector<fs::path> leftovers;
    for (const auto& file : fs::directory_iterator(paths_.credentialsDir, ec))
        if (LeftoverCredentials(file.path().filename().string())) leftovers.push_back(file.path());
    for (const auto& file : leftovers) fs::remove(file, ec);
}

std::string PppdRemoteAccess::CredentialsText(const std::string& user,
                                              const std::string& password) {
    return "user " + Quoted(user) + "\npassword " + Quoted(password) + "\n";
}

void PppdRemoteAccess::EnsureInstalled() {
    if (::access(paths_.program.c_str(), X_OK) != 0)
        throw std::runtime_error("dial-up is not available: pppd is not installed (" +
                                 paths_.program.string() + ")");
}

int PppdRemoteAccess::EnumEntries(std::vector<std::string>& entries) {
    EnsureInstalled();
    entries.clear();
    std::error_code ec;
    for (const auto& file : fs::directory_iterator(paths_.peersDir, ec))
        if (file.is_regular_file()) entries.push_back(file.path().filename().string());
    std::sort(entries.begin(), entries.end());
    return 0;
}

int PppdRemoteAccess::GetEntryDialParams(RasDialParams& params) {
    EnsureInstalled();
    const auto file = paths_.peersDir / params.entryName;
    std::ifstream in(file);
    if (params.entryName.empty() || params.entryName.find('/') != std::string::npos || !in)
        return kRasEntryNotFound;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string key, value;
        if (words >> key >> value && key == "user") {
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            params.userName = value;
        }
    }
    return 0;
}

std::optional<PppdRemoteAccess::PidFile> PppdRemoteAccess::ReadPidFile(
    const std::string& entry) const {
    std::ifstream in(paths_.runDir / ("ppp-" + entry + ".pid"));
    PidFile file;
    if (!(in >> file.pid)) return std::nullopt;
    in >> file.interface;
    return file;
}

std::map<pid_t, PppdRemoteAccess::Running> PppdRemoteAccess::FromLinknameFiles() const {
    std::map<pid_t, Running> found;
    std::error_code ec;
    for (const auto& file : fs::directory_iterator(paths_.runDir, ec)) {
        const std::string name = file.path().filename().string();
        if (name.size() <= 8 || !name.starts_with("ppp-") || !name.ends_with(".pid") ||
            !file.is_regular_file(ec))
            continue;
        const std::string entry = name.substr(4, name.size() - 8);
        const auto pidFile = ReadPidFile(entry);
        if (!pidFile || !Alive(pidFile->pid)) continue;
        // A pid file that outlived a crashed pppd may name a process that took the pid later.
        const auto args = CommandLine(paths_.procDir, pidFile->pid);
        if (!args.empty() && !IsPppd(args, paths_.program)) continue;
        found[pidFile->pid] = {pidFile->pid, entry, pidFile->interface};
    }
    return found;
}

std::optional<std::string> PppdRemoteAccess::EntryOfProcess(pid_t pid) const {
    const auto args = CommandLine(paths_.procDir, pid);
    if (!IsPppd(args, paths_.program)) return std::nullopt;
    std::string call, linkname;
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "call") call = args[i + 1];
        if (args[i] == "linkname") linkname = args[i + 1];
    }
    // `call` names the peer file, which is the entry; a linkname alone names it otherwise.
    if (!call.empty()) return call;
    if (!linkname.empty()) return linkname;
    return std::nullopt;
}

void PppdRemoteAccess::FindInterface(Running& running) const {
    if (!running.interface.empty()) return;
    // pppd writes RUNDIR/IFNAME.pid holding its pid alone once its interface exists.
    std::error_code ec;
    for (const auto& file : fs::directory_iterator(paths_.runDir, ec)) {
        const std::string name = file.path().filename().string();
        // The run dir is shared with every daemon: nothing but plain files is opened.
        if (name.size() <= 4 || name.starts_with("ppp-") || !name.ends_with(".pid") ||
            !file.is_regular_file(ec))
            continue;
        std::ifstream in(file.path());
        pid_t pid = 0;
        std::string more;
        if (in >> pid && pid == running.pid && !(in >> more)) {
            running.interface = name.substr(0, name.size() - 4);
            return;
        }
    }
    running.interface = PeerInterface(paths_.peersDir, running.entry);
}

std::vector<PppdRemoteAccess::Running> PppdRemoteAccess::FindRunning() const {
    auto found = FromLinknameFiles();
    std::error_code ec;
    for (const auto& dir : fs::directory_iterator(paths_.procDir, ec)) {
        const auto pid = ParsePid(dir.path().filename().string());
        if (!pid || found.contains(*pid)) continue;
        if (auto entry = EntryOfProcess(*pid)) found[*pid] = {*pid, std::move(*entry), {}};
    }
    std::vector<Running> running;
    for (auto& [pid, one] : found) {
        // pppd's own children (a pty's relay, a script not yet started) share its command line.
        const auto parent = found.find(ParentOf(paths_.procDir, pid));
        if (parent != found.end() && parent->second.entry == one.entry) continue;
        FindInterface(one);
        running.push_back(one);
    }
    return running;
}

std::optional<PppdRemoteAccess::Running> PppdRemoteAccess::FindByPid(pid_t pid) const {
    if (pid <= 0) return std::nullopt;
    auto linked = FromLinknameFiles();
    Running running;
    if (const auto it = linked.find(pid); it != linked.end())
        running = it->second;
    else if (auto entry = EntryOfProcess(pid))
        running = {pid, std::move(*entry), {}};
    else
        return std::nullopt;
    FindInterface(running);
    return running;
}

std::optional<LinkInfo> PppdRemoteAccess::FindLink(const std::string& interface) {
    if (interface.empty()) return std::nullopt;
    if (const auto links = tables_.Links())
        for (const auto& link : *links)
            if (link.name == interface) return link;
    return std::nullopt;
}

std::optional<AddressRow> PppdRemoteAccess::FirstAddress(const std::string& interface) {
    const auto link = FindLink(interface);
    const auto addresses = link ? tables_.Addresses() : std::nullopt;
    if (!addresses) return std::nullopt;
    for (const auto& row : *addresses)
        if (row.index == link->index) return row;
    return std::nullopt;
}

std::optional<int> PppdRemoteAccess::Reap(pid_t pid) {
    int status = 0;
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == 0) return std::nullopt;
    if (done < 0) return kPppdExitBase + 1;  // not ours to wait for any more
    return kPppdExitBase + (WIFEXITED(status) ? WEXITSTATUS(status) : 5);
}

void PppdRemoteAccess::End(pid_t pid, std::chrono::milliseconds grace, std::stop_token stop) {
    ::kill(pid, SIGTERM);
    const auto killAt = Clock::now() + grace;
    // A stop, before or during the wait, leaves pppd abortGrace at most.
    if (!AwaitExit(pid, killAt, stop) && stop.stop_requested())
        AwaitExit(pid, std::min(killAt, Clock::now() + paths_.abortGrace));
    if (!Reap(pid)) {
        ::kill(pid, SIGKILL);
        // Held in the kernel: it stays ours, and a later status call reaps it.
        if (!AwaitExit(pid, Clock::now() + kReapAfterKill) || !Reap(pid)) return;
    }
    std::lock_guard guard(lock_);
    dialed_.erase(pid);
}

namespace {

// The kernel's notices of new addresses and link changes: the dial's wait wakes on them instead
// of looking for the link's address now and then. Invalid where it cannot be had.
UniqueFd AddressNotices() {
    UniqueFd fd(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE));
    if (!fd.valid()) return fd;
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR;
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return UniqueFd();
    return fd;
}

void DrainNotices(int fd) {
    char buffer[8192];
    while (::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
    }
}

}  // namespace

int PppdRemoteAccess::AwaitLink(pid_t pid, std::stop_token stop) {
    const auto deadline = Clock::now() + paths_.dialTimeout;
    const UniqueFd notices = AddressNotices();
    for (;;) {
        if (const auto code = Reap(pid)) {
            std::lock_guard guard(lock_);
            dialed_.erase(pid);
            return *code;
        }
        const auto running = FindByPid(pid);
        if (running && FirstAddress(running->interface).has_value()) return 0;
        if (stop.stop_requested()) {
            End(pid, paths_.abortGrace);
            return kRasDialStopped;
        }
        if (Clock::now() >= deadline) {
            End(pid, paths_.hangUpGrace, stop);
            return kPppdTimedOut;
        }
        // pppd's end, the stop and any address or link change wake this wait at once; only
        // without the kernel's notices does it look for the address now and then.
        if (notices.valid()) {
            AwaitExit(pid, deadline, stop, notices.get());
            DrainNotices(notices.get());
        } else {
            AwaitExit(pid, std::min(deadline, Clock::now() + kAddressCheck), stop);
        }
    }
}

int PppdRemoteAccess::Dial(const RasDialParams& params, RasHandle& handle, Notifier notifier,
                           std::stop_token stop) {
    EnsureInstalled();
    handle = 0;
    RasDialParams stored{params.entryName, {}, {}};
    if (GetEntryDialParams(stored) != 0) return kRasEntryNotFound;
    if (stop.stop_requested()) return kRasDialStopped;

    // The credentials reach pppd through a 0600 file, never its command line. pppd applies
    // options in order: the file comes after `call` so that its user wins over the peer file's.
    auto credentials = std::make_shared<CredentialsFile>(
        paths_.credentialsDir, CredentialsText(params.userName, params.password));
    const std::string program = paths_.program.string();
    const std::string credentialsPath = credentials->path().string();
    std::vector<std::string> args = {program,         "call",     params.entryName, "file",
                                     credentialsPath, "linkname", params.entryName, "nodetach"};
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    // pppd must answer SIGTERM (hang-up) and its other signals, whatever this thread blocks.
    const CleanSpawnAttributes attributes;
    const int spawned =
        posix_spawn(&pid, program.c_str(), &actions, attributes.get(), argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return kPppdNotStarted;
    {
        std::lock_guard guard(lock_);
        dialed_[pid] = params.entryName;
    }
    handle = static_cast<RasHandle>(pid);

    if (!notifier) return AwaitLink(pid, stop);
    std::lock_guard guard(lock_);
    watchers_.emplace_back([this, pid, notifier, credentials, stop](std::stop_token own) {
        // The caller's stop and the end of this layer both end the wait.
        std::stop_source either;
        std::stop_callback onOwn(own, [&either] { either.request_stop(); });
        std::stop_callback onCaller(stop, [&either] { either.request_stop(); });
        notifier(0, 0);
        const int rc = AwaitLink(pid, either.get_token());
        if (rc == 0)
            notifier(kRasStateConnected, 0);
        else
            notifier(kRasStateDisconnected, rc);
    });
    return 0;
}

int PppdRemoteAccess::HangUp(RasHandle handle) {
    const auto pid = static_cast<pid_t>(handle);
    {
        std::lock_guard guard(lock_);
        if (handle == 0 || !dialed_.contains(pid)) return kRasInvalidHandle;
    }
    End(pid, paths_.hangUpGrace);
    return 0;
}

void PppdRemoteAccess::AwaitGone(RasHandle handle, std::chrono::milliseconds timeout) {
    int state = 0;
    // The status first: a pid that is no longer our pppd may name another process by now.
    if (GetConnectStatus(handle, state) == kRasInvalidHandle) return;
    AwaitExit(static_cast<pid_t>(handle), Clock::now() + timeout);
    GetConnectStatus(handle, state);  // reaps it when it is ours
}

int PppdRemoteAccess::GetConnectStatus(RasHandle handle, int& state) {
    const auto pid = static_cast<pid_t>(handle);
    bool ours = false;
    {
        std::lock_guard guard(lock_);
        ours = dialed_.contains(pid);
    }
    if (ours && Reap(pid)) {
        std::lock_guard guard(lock_);
        dialed_.erase(pid);
        return kRasInvalidHandle;
    }
    if (handle == 0 || !Alive(pid)) return kRasInvalidHandle;
    const auto running = FindByPid(pid);
    if (!ours && !running) return kRasInvalidHandle;
    state = running && FirstAddress(running->interface).has_value() ? kRasStateConnected : 2;
    return 0;
}

int PppdRemoteAccess::EnumConnections(std::vector<RasConnection>& connections) {
    EnsureInstalled();
    connections.clear();
    for (const auto& running : FindRunning())
        connections.push_back({static_cast<RasHandle>(running.pid), running.entry});
    return 0;
}

int PppdRemoteAccess::GetProjection(RasHandle handle, std::string& clientIp,
                                    std::string& serverIp) {
    const auto running = FindByPid(static_cast<pid_t>(handle));
    const auto row = running ? FirstAddress(running->interface) : std::nullopt;
    if (!row) return kRasInvalidHandle;
    clientIp = Ip4ToText(row->address);
    serverIp = row->peer ? Ip4ToText(row->peer) : std::string();
    return 0;
}

std::string PppdRemoteAccess::ErrorText(int code) {
    switch (code) {
        case kRasInvalidHandle:
            return "The connection does not exist.";
        case kRasEntryNotFound:
            return "The dial-up entry has no peer file.";
        case kRasDialStopped:
            return "The dial was stopped.";
        case kPppdNotStarted:
            return "pppd could not be started.";
        case kPppdTimedOut:
            return "The link did not come up in time.";
        default:
            break;
    }
    switch (code - kPppdExitBase) {
        case 1:
            return "pppd failed with a fatal error.";
        case 2:
            return "The dial-up entry's options are invalid.";
        case 3:
            return "pppd needs root privileges.";
        case 4:
            return "The kernel does not support PPP.";
        case 5:
            return "pppd was stopped by a signal.";
        case 6:
            return "The serial port is locked by another process.";
        case 7:
            return "The serial port could not be opened.";
        case 8:
            return "The connect script failed.";
        case 9:
            return "The pty command could not be run.";
        case 10:
            return "The PPP negotiation failed.";
        case 11:
            return "The peer failed to authenticate itself.";
        case 12:
            return "The link was idle and was ended.";
        case 13:
            return "The connect time limit was reached.";
        case 14:
            return "Callback was negotiated; waiting for the call.";
        case 15:
            return "The peer is not responding.";
        case 16:
            return "The modem hung up.";
        case 17:
            return "A loopback was detected on the line.";
        case 18:
            return "The init script failed.";
        case 19:
            return "Authentication failed: the user name or password was refused.";
        default:
            break;
    }
    return "Dial-up error " + std::to_string(code) + ".";
}

bool PppdRemoteAccess::ReadCounters(RasHandle handle, RasCounters& counters) {
    const auto running = FindByPid(static_cast<pid_t>(handle));
    const auto link = running ? FindLink(running->interface) : std::nullopt;
    if (!link) return false;
    counters.bytesSent = link->bytesSent;
    counters.bytesReceived = link->bytesReceived;
    std::ifstream speed(paths_.sysClassNet / link->name / "speed");
    long mbits = 0;
    counters.speed = speed >> mbits && mbits > 0 ? static_cast<std::uint32_t>(mbits) * 1000000u : 0;
    return true;
}

}  // namespace vorta::platform
