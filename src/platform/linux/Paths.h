#pragma once
#include "platform/linux/Guard.h"
// Where the client keeps its files.

#include <filesystem>
#include <string>

#include "platform/TestSetting.h"

namespace vorta::platform {

// kSystemDataDir for root (the service), else $XDG_CONFIG_HOME/vorta or ~/.config/vorta.
std::filesystem::path DefaultDataDir();
// The service's data dir.
inline constexpr const char* kSystemDataDir = "/var/lib/vorta";

// Why root may not keep its files in `dir`; empty when it may: a real folder (no link) that root
// owns and no one else may write, below folders only root can change (a sticky one like /tmp
// counts). A missing `dir` is created, mode 0700.
std::string RootFolderProblem(const std::filesystem::path& dir);
// Why `dir` may not hold this user's secrets; empty when it may: a real folder (no link) that
// this user owns and no one else may enter. A missing `dir` is created, mode 0700.
std::string PrivateFolderProblem(const std::filesystem::path& dir);

// This program's own file, empty when unknown.
std::filesystem::path ExecutablePath();

}  // namespace vorta::platform
