#include "platform/linux/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <string>

#include "base/StopWait.h"
#include "platform/ThisProcess.h"
#include "platform/linux/UniqueFd.h"

extern char** environ;

namespace vorta::platform {
namespace {

using Clock = std::chrono::steady_clock;

// Whether pid has ended, without reaping a child of ours.
bool Ended(pid_t pid) {
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0)
        return info.si_pid == pid;
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

// The fallback where no pidfd can be had: look at the process every 10 ms.
bool AwaitExitByLooking(pid_t pid, Clock::time_point deadline, std::stop_token stop) {
    for (;;) {
        if (Ended(pid)) return true;
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) return false;
        if (!SleepUnlessStopped(stop,
                                std::min<Clock::duration>(left, std::chrono::milliseconds(10))))
            return Ended(pid);
    }
}

}  // namespace

CleanSpawnAttributes::CleanSpawnAttributes() {
    posix_spawnattr_init(&attributes_);
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes_, &none);
    posix_spawnattr_setsigdefault(&attributes_, &all);
    posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
}

ProcessResult RunProgram(const std::vector<std::string>& argv, bool captureOutput,
                         std::string_view input) {
    ProcessResult result;
    if (argv.empty() || input.size() > 60 * 1024) return result;
    int pipeFds[2] = {-1, -1};
    if (captureOutput && ::pipe2(pipeFds, O_CLOEXEC) != 0) return result;
    UniqueFd readEnd(pipeFds[0]);
    UniqueFd writeEnd(pipeFds[1]);
    // The input fits the pipe's buffer, so it is written whole before the child starts and no
    // write can block on (or be cut off by) a child that does not read.
    int inputFds[2] = {-1, -1};
    if (!input.empty() && ::pipe2(inputFds, O_CLOEXEC) != 0) return result;
    UniqueFd inputRead(inputFds[0]);
    if (!input.empty()) {
        UniqueFd inputWrite(inputFds[1]);
        if (::write(inputWrite.get(), input.data(), input.size()) !=
            static_cast<ssize_t>(input.size()))
            return result;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input.empty())
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    else
        posix_spawn_file_actions_adddup2(&actions, inputRead.get(), STDIN_FILENO);
    if (captureOutput) posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDOUT_FILENO);
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const CleanSpawnAttributes attributes;
    const int spawned =
        ::posix_spawnp(&pid, args[0], &actions, attributes.get(), args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    writeEnd.reset();
    inputRead.reset();
    if (spawned != 0) return result;

    if (captureOutput) {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(readEnd.get(), buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            if (result.output.size() < 64 * 1024) result.output.append(buffer, n);
        }
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return result;
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    return result;
}

bool AwaitExit(pid_t pid, Clock::time_point deadline, std::stop_token stop, int also) {
    const UniqueFd process(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    if (!process.valid() && errno == ESRCH) return true;  // ended and reaped already
    const UniqueFd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!process.valid() || !wake.valid()) return AwaitExitByLooking(pid, deadline, stop);
    // The stop reaches poll() through the eventfd.
    const std::stop_callback onStop(stop, [&wake] {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake.get(), &one, sizeof one);
    });
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        const int timeout =
            static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, INT_MAX));
        pollfd fds[3] = {{process.get(), POLLIN, 0}, {wake.get(), POLLIN, 0}, {also, POLLIN, 0}};
        const int ready = ::poll(fds, also >= 0 ? 3 : 2, timeout);
        if (ready < 0 && errno != EINTR) return Ended(pid);
        if (ready > 0 && fds[0].revents != 0) return true;
        if (ready > 0 && also >= 0 && fds[2].revents != 0) return Ended(pid);
        if (stop.stop_requested() || Clock::now() >= deadline) return false;
    }
}

int ReplaceProcess(const std::vector<std::string>& argv) {
    if (argv.empty()) return EINVAL;
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    // The stop signals are blocked in a running client; the new program starts as a fresh one.
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execv(args[0], args.data());
    return errno;
}

bool RunningAsRoot() {
    return ::geteuid() == 0;
}

std::int64_t CurrentProcessId() {
    return ::getpid();
}

ServiceGroupHint ServiceGroupHintFor(const std::string& user) {
    return {"root", "root", "sudo usermod -aG vorta " + user, "then log in again"};
}

std::string CurrentUserName() {
    passwd entry{};
    passwd* found = nullptr;
    std::string buffer(16384, '\0');
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr)
        return {};
    return entry.pw_name;
}

}  // namespace vorta::platform
