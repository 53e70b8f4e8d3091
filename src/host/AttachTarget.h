#pragma once
// Which client a window program shows: its own, or one in another process that it is the face
// of. The same decision for every window (the Qt one and the Win32 one).

#include <filesystem>
#include <optional>

#include "host/HostPlatform.h"

namespace vorta::host {

// Where the window should be the face of another process's client: the system service's data
// dir while it runs, or this data dir when its client runs in service mode (or where this user
// may not reach it). Empty: the window runs a client of its own.
std::optional<std::filesystem::path> AttachTarget(HostPlatform& platform);

}  // namespace vorta::host
