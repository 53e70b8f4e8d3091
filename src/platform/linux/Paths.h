#pragma once
#include "platform/linux/Guard.h"
// Where the client keeps its files.

#include <filesystem>

#include "platform/TestSetting.h"

namespace vorta::platform {

// /var/lib/vorta for root (the service), else $XDG_CONFIG_HOME/vorta or ~/.config/vorta.
std::filesystem::path DefaultDataDir();
// This program's own file, empty when unknown.
std::filesystem::path ExecutablePath();

}  // namespace vorta::platform
