#pragma once
#include "platform/win32/Guard.h"
// The name a data dir's instance goes by, the same in every session and for every spelling of the
// folder's path.

#include <filesystem>
#include <string>

namespace vorta::platform {

// "Vorta-" and 32 hex digits of a SHA-256 of the folder's case-folded path: its final path
// (links resolved) when it exists, else its absolute path. Throws std::system_error when the
// hash cannot be computed.
std::wstring InstanceId(const std::filesystem::path& dataDir);

}  // namespace vorta::platform
