#pragma once
// Files replaced whole: a crash leaves either the old or the new content, never a mix.

#include <sys/types.h>
#include <filesystem>
#include <string_view>

namespace vorta::platform {

// Writes `content` to a temporary file beside `path`, flushes it to disk and renames it over
// `path`. Creates missing parent folders with mode 0700. Throws std::system_error on failure,
// leaving any previous file untouched.
void WriteFileAtomically(const std::filesystem::path& path, std::string_view content, mode_t mode);

// Creates `dir` and its missing parents with mode 0700.
void CreatePrivateDirectories(const std::filesystem::path& dir);

}  // namespace vorta::platform
