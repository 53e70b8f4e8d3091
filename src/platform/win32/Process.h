#pragma once
#include "platform/win32/Guard.h"
// Starting programs: the command-line text Windows hands to a program, and the program's own
// install run, elevated when it must be.

#include <string>
#include <vector>

namespace vorta::platform {

// One argument quoted as the C runtime splits command lines: bare when it has no blank, tab or
// quote, else in quotes with inner quotes and the backslashes before them escaped.
std::wstring QuoteArgument(const std::string& argument);
// The arguments, each quoted, joined by blanks.
std::wstring CommandLineText(const std::vector<std::string>& argv);

// True when this process has an administrator's full token.
bool RunningElevated();

// Runs `argv` (program first), elevated through the consent prompt when this process is not,
// and waits for it; its exit code, or -1 when it could not run (a declined prompt among them).
int RunProgramAsAdministrator(const std::vector<std::string>& argv);

}  // namespace vorta::platform
