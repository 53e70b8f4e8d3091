#pragma once
// Running a helper program (systemctl, this program's own install run) and waiting for it.

#include <string>
#include <vector>

namespace vorta::platform {

struct ProcessResult {
    int exitCode = -1;   // -1 when it could not start or did not exit normally
    std::string output;  // its standard output (when captured), at most 64 KiB
};

// Runs `argv` (argv[0] looked up in PATH) with stdin on /dev/null and stderr inherited, and
// waits for it. Standard output is captured when `captureOutput`, else inherited.
ProcessResult RunProgram(const std::vector<std::string>& argv, bool captureOutput = false);

}  // namespace vorta::platform
