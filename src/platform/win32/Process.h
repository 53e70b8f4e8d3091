#pragma once
#include "platform/win32/Guard.h"
// Running the program's own install run, elevated when it must be.

#include <string>
#include <vector>

namespace vorta::platform {

// True when this process has an administrator's full token.
bool RunningElevated();

// Runs `argv` (program first), elevated through the consent prompt when this process is not,
// and waits for it; its exit code. Throws std::runtime_error saying why it could not run: a
// declined prompt, or the system's reason.
int RunProgramAsAdministrator(const std::vector<std::string>& argv);

}  // namespace vorta::platform
