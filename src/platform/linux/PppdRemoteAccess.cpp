#include "platform/linux/PppdRemoteAccess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "platform/AtomicFile.h"

extern char** environ;

namespace vorta::platform {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPoll = std::chrono::milliseconds(50);

// Removes the credentials file however the dial ends.
class CredentialsFile {
public:
    CredentialsFile(const std::filesystem::path& dir, const std::string& text) {
        CreatePrivateDirectories(dir);
        std::string pattern = (dir / "vorta-ppp-XXXXXX").string();
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
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

std::filesystem::path DefaultCredentialsDir() {
    if (::geteuid() == 0) return "/run/vorta";
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
        return std::filesystem::path(runtime) / "vorta";
    return std::filesystem::temp_directory_path() / ("vorta-" + std::to_string(::geteuid()));
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

}  // namespace

PppdRemoteAccess::PppdRemoteAccess(INetworkTables& tables, PppdPaths paths)
    : tables_(tables), paths_(std::move(paths)) {
    if (paths_.credentialsDir.empty()) paths_.credentialsDir = DefaultCredentialsDir();
}

PppdRemoteAccess::~PppdRemoteAccess() {
    for (auto& watcher : watchers_) watcher.request_stop();
    watchers_.clear();  // joins
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
    for (const auto& file : std::filesystem::directory_iterator(paths_.peersDir, ec))
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

std::optional<PppdRemoteAccess::PidFile> PppdRemoteAccess::FindByPid(pid_t pid) const {
    std::error_code ec;
    for (const auto& file : std::filesystem::directory_iterator(paths_.runDir, ec)) {
        const std::string name = file.path().filename().string();
        if (!name.starts_with("ppp-") || !name.ends_with(".pid")) continue;
        const auto found = ReadPidFile(name.substr(4, name.size() - 8));
        if (found && found->pid == pid) return found;
    }
    return std::nullopt;
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

int PppdRemoteAccess::AwaitLink(pid_t pid, const std::string& entry, std::stop_token stop) {
    const auto deadline = Clock::now() + paths_.dialTimeout;
    for (;;) {
        if (const auto code = Reap(pid)) {
            std::lock_guard guard(lock_);
            dialed_.erase(pid);
            return *code;
        }
        const auto file = ReadPidFile(entry);
        if (file && file->pid == pid && FirstAddress(file->interface).has_value()) return 0;
        if (stop.stop_requested() || Clock::now() >= deadline) {
            HangUp(static_cast<RasHandle>(pid));
            return kPppdTimedOut;
        }
        std::this_thread::sleep_for(kPoll);
    }
}

int PppdRemoteAccess::Dial(const RasDialParams& params, RasHandle& handle, Notifier notifier) {
    EnsureInstalled();
    handle = 0;
    RasDialParams stored{params.entryName, {}, {}};
    if (GetEntryDialParams(stored) != 0) return kRasEntryNotFound;

    // The credentials reach pppd through a 0600 file, never its command line.
    auto credentials = std::make_shared<CredentialsFile>(
        paths_.credentialsDir, CredentialsText(params.userName, params.password));
    const std::string program = paths_.program.string();
    const std::string credentialsPath = credentials->path().string();
    std::vector<std::string> args = {program,          "file",     credentialsPath,  "call",
                                     params.entryName, "linkname", params.entryName, "nodetach"};
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return kPppdNotStarted;
    {
        std::lock_guard guard(lock_);
        dialed_[pid] = params.entryName;
    }
    handle = static_cast<RasHandle>(pid);

    if (!notifier) return AwaitLink(pid, params.entryName, {});
    std::lock_guard guard(lock_);
    watchers_.emplace_back(
        [this, pid, entry = params.entryName, notifier, credentials](std::stop_token stop) {
            notifier(0, 0);
            const int rc = AwaitLink(pid, entry, stop);
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
    ::kill(pid, SIGTERM);
    const auto deadline = Clock::now() + paths_.hangUpGrace;
    while (!Reap(pid)) {
        if (Clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::lock_guard guard(lock_);
    dialed_.erase(pid);
    return 0;
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
    const auto file = FindByPid(pid);
    if (!ours && !file) return kRasInvalidHandle;
    state = file && FirstAddress(file->interface).has_value() ? kRasStateConnected : 2;
    return 0;
}

int PppdRemoteAccess::EnumConnections(std::vector<RasConnection>& connections) {
    EnsureInstalled();
    connections.clear();
    std::error_code ec;
    for (const auto& file : std::filesystem::directory_iterator(paths_.runDir, ec)) {
        const std::string name = file.path().filename().string();
        if (!name.starts_with("ppp-") || !name.ends_with(".pid")) continue;
        const std::string entry = name.substr(4, name.size() - 8);
        const auto found = ReadPidFile(entry);
        if (found && Alive(found->pid))
            connections.push_back({static_cast<RasHandle>(found->pid), entry});
    }
    return 0;
}

int PppdRemoteAccess::GetProjection(RasHandle handle, std::string& clientIp,
                                    std::string& serverIp) {
    const auto file = FindByPid(static_cast<pid_t>(handle));
    const auto row = file ? FirstAddress(file->interface) : std::nullopt;
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
    const auto file = FindByPid(static_cast<pid_t>(handle));
    const auto link = file ? FindLink(file->interface) : std::nullopt;
    if (!link) return false;
    counters.bytesSent = link->bytesSent;
    counters.bytesReceived = link->bytesReceived;
    std::ifstream speed(paths_.sysClassNet / link->name / "speed");
    long mbits = 0;
    counters.speed = speed >> mbits && mbits > 0 ? static_cast<std::uint32_t>(mbits) * 1000000u : 0;
    return true;
}

}  // namespace vorta::platform
