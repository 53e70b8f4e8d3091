#pragma once
#include "platform/linux/Guard.h"
// Where the client keeps its files.

#include <filesystem>

namespace vorta::platform {

// /var/lib/vorta for root (the service), else $XDG_CONFIG_HOME/vorta or ~/.config/vorta.
std::filesystem::path DefaultDataDir();
// This program's own file, empty when unknown.
std::filesystem::path ExecutablePath();

// A path or setting that tests and labs may redirect through the environment (VORTA_…): the
// variable's value, or null when it is unset or empty. A build without test hooks ignores these
// when it runs as root, so that no environment can point the service at another program.
const char* TestSetting(const char* name);

}  // namespace vorta::platform
