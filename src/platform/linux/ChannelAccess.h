#pragma once
#include "platform/linux/Guard.h"
// Who may reach a root client's instance channel: root and the members of the group `vorta`.
// The channel of any other user's client stays that user's own.

#include <sys/types.h>

#include <filesystem>
#include <optional>

namespace vorta::platform {

inline constexpr const char* kClientGroup = "vorta";

// The id of the group `vorta`; nothing when it does not exist.
std::optional<gid_t> ClientGroupId();

// For a root process, when the group exists and `dir` is a folder only root may change: the
// socket `name` just bound in `dir` becomes root:vorta 0660, and `dir` gets that group and its
// search right (never its write right; the rest of its mode stays). Elsewhere nothing changes,
// and what cannot be changed stays as narrow as it was.
void OpenToClientGroup(const std::filesystem::path& dir, const std::filesystem::path& name);

// True when the asker at the other end of the connection `fd` may change the client: this
// process's own user, root, or, for a root process, a member of the group `vorta` (its main
// group or one of the others it had when it connected).
bool PeerMayChange(int fd);

}  // namespace vorta::platform
