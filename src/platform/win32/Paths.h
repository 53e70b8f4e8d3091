#pragma once
#include "platform/win32/Guard.h"
// Where the client keeps its files, and the settings tests may redirect.

#include <filesystem>

#include "platform/TestSetting.h"

namespace vorta::platform {

// %ProgramData%\Vorta for the local system account (the service), else %APPDATA%\Vorta.
std::filesystem::path DefaultDataDir();
// The service's: under ProgramData.
std::filesystem::path SystemDataDir();
// This program's own file, empty when unknown.
std::filesystem::path ExecutablePath();

}  // namespace vorta::platform
