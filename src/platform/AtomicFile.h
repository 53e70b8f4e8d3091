#pragma once
// Files replaced whole: a crash leaves either the old or the new content, never a mix.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vorta::platform {

// The modes the client writes its files with: private (0600), or readable by all (0644).
inline constexpr std::filesystem::perms kOwnerOnly =
    std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;
inline constexpr std::filesystem::perms kWorldReadable =
    kOwnerOnly | std::filesystem::perms::group_read | std::filesystem::perms::others_read;

// Writes `content` to a temporary file beside `path`, flushes it to disk and renames it over
// `path`. Creates missing parent folders with mode 0700. Throws std::system_error on failure,
// leaving any previous file untouched.
void WriteFileAtomically(const std::filesystem::path& path, std::string_view content,
                         std::filesystem::perms mode);

// Removes the temporary files that writes of `path` left when they were interrupted. Only for
// the one process that holds the file's folder (it would take another writer's file away).
void RemoveInterruptedWritesOf(const std::filesystem::path& path);

// The content of a file, at most `limit` bytes of it; nothing when it does not exist. A file
// whose own name is a symbolic link, or which is no regular file, is refused: a client never
// reads or writes through a link someone put in its folder. Throws std::system_error.
std::optional<std::string> ReadOwnFile(const std::filesystem::path& path, std::size_t limit);

// Creates `dir` and its missing parents with mode 0700.
void CreatePrivateDirectories(const std::filesystem::path& dir);

}  // namespace vorta::platform
