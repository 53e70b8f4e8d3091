#pragma once
#include "platform/win32/Guard.h"
// Where the client keeps its files, and the settings tests may redirect.

#include <filesystem>

namespace vorta::platform {

// %ProgramData%\Vorta for the local system account (the service), else %APPDATA%\Vorta.
std::filesystem::path DefaultDataDir();
// This program's own file, empty when unknown.
std::filesystem::path ExecutablePath();
// True when this process runs as the local system account.
bool RunningAsLocalSystem();

// A setting that tests and labs may give through the environment (VORTA_…): its value, or null
// when unset or empty. A build without test hooks ignores these in the local system account, so
// that no environment can point the service elsewhere.
const char* TestSetting(const char* name);

}  // namespace vorta::platform
