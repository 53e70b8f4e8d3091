#include "platform/linux/ChannelAccess.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/linux/UniqueFd.h"

namespace vorta::platform {
namespace {

// The asker's other groups as they were when it connected; none where the kernel cannot say.
std::vector<gid_t> PeerGroups(int fd) {
#ifdef SO_PEERGROUPS
    std::vector<gid_t> groups(32);
    for (int attempt = 0; attempt < 2; ++attempt) {
        socklen_t length = static_cast<socklen_t>(groups.size() * sizeof(gid_t));
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERGROUPS, groups.data(), &length) == 0) {
            groups.resize(length / sizeof(gid_t));
            return groups;
        }
        // Too small: the kernel said how long the list is.
        if (errno != ERANGE) break;
        groups.resize(length / sizeof(gid_t));
    }
#else
    (void)fd;
#endif
    return {};
}

}  // namespace

std::optional<gid_t> ClientGroupId() {
    const long hint = ::sysconf(_SC_GETGR_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? static_cast<std::size_t>(hint) : 16384);
    group entry{};
    group* found = nullptr;
    int error;
    // A group with many members needs a longer buffer.
    while ((error = ::getgrnam_r(kClientGroup, &entry, buffer.data(), buffer.size(), &found)) ==
               ERANGE &&
           buffer.size() < (1u << 22))
        buffer.resize(buffer.size() * 2);
    if (error != 0 || found == nullptr) return std::nullopt;
    return found->gr_gid;
}

void OpenToClientGroup(const std::filesystem::path& dir, const std::filesystem::path& name) {
    if (::geteuid() != 0) return;
    const std::optional<gid_t> group = ClientGroupId();
    if (!group) return;
    UniqueFd folder(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    // Only in a folder no one but root may change can no one swap the socket for a link
    // between the looks and the changes below.
    if (!folder.valid() || ::fstat(folder.get(), &info) != 0 || info.st_uid != 0 ||
        (info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return;
    const mode_t folderMode = info.st_mode & 07777;
    const gid_t folderGroup = info.st_gid;
    if (::fstatat(folder.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISSOCK(info.st_mode) ||
        ::fchownat(folder.get(), name.c_str(), 0, *group, AT_SYMLINK_NOFOLLOW) != 0 ||
        ::fchmodat(folder.get(), name.c_str(), 0660, 0) != 0)
        return;
    // The folder's search right is of no use without the socket's, and no harm with it.
    if (folderGroup != *group && ::fchown(folder.get(), static_cast<uid_t>(-1), *group) != 0)
        return;
    if ((folderMode & S_IXGRP) == 0) ::fchmod(folder.get(), folderMode | S_IXGRP);
}

bool PeerMayChange(int fd) {
    ucred peer{};
    socklen_t length = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0) return false;
    const uid_t self = ::geteuid();
    if (peer.uid == self || peer.uid == 0) return true;
    if (self != 0) return false;
    const std::optional<gid_t> group = ClientGroupId();
    if (!group) return false;
    if (peer.gid == *group) return true;
    const std::vector<gid_t> groups = PeerGroups(fd);
    return std::find(groups.begin(), groups.end(), *group) != groups.end();
}

}  // namespace vorta::platform
