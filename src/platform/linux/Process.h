#pragma once
#include "platform/linux/Guard.h"
// Running a helper program (systemctl, this program's own install run) and waiting for it.

#include <spawn.h>
#include <sys/types.h>

#include <chrono>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace vorta::platform {

struct ProcessResult {
    int exitCode = -1;   // -1 when it could not start or did not exit normally
    std::string output;  // its standard output (when captured), at most 64 KiB
};

// Spawn attributes that give a child a clean start: no blocked signals and every signal's
// default action. The client blocks its stop signals in every thread for its own watcher; a
// child that inherited that mask could not be stopped with SIGTERM.
class CleanSpawnAttributes {
public:
    CleanSpawnAttributes();
    ~CleanSpawnAttributes() { posix_spawnattr_destroy(&attributes_); }
    CleanSpawnAttributes(const CleanSpawnAttributes&) = delete;
    CleanSpawnAttributes& operator=(const CleanSpawnAttributes&) = delete;
    const posix_spawnattr_t* get() const { return &attributes_; }

private:
    posix_spawnattr_t attributes_;
};

// Runs `argv` (argv[0] looked up in PATH) with stderr inherited, and waits for it. Standard
// input holds `input` (at most 60 KiB; more fails the run), /dev/null when it is empty.
// Standard output is captured when `captureOutput`, else inherited.
ProcessResult RunProgram(const std::vector<std::string>& argv, bool captureOutput = false,
                         std::string_view input = {});

// Replaces this process with `argv[0]` (a path) run with `argv`, in the same environment; returns
// only when that fails, with the errno value.
int ReplaceProcess(const std::vector<std::string>& argv);

// True for the superuser, who needs no elevation to manage system services.
bool RunningAsRoot();

// Waits until process `pid` has ended (an unreaped child counts), `deadline` passes or a stop
// is requested on `stop`; true once it ended. It does not reap. The wait sleeps on a pidfd; only
// a kernel without pidfd_open (before 5.3) makes it look every 10 ms instead.
// A readable `also` (a descriptor of the caller's, -1 for none) ends the wait too.
bool AwaitExit(pid_t pid, std::chrono::steady_clock::time_point deadline, std::stop_token stop = {},
               int also = -1);

}  // namespace vorta::platform
