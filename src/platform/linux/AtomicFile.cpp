#include "platform/AtomicFile.h"

#include "platform/linux/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <system_error>
#include <utility>

namespace vorta::platform {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::filesystem::path& path) {
    throw std::system_error(errno, std::generic_category(), what + " " + path.string());
}

}  // namespace

std::optional<std::string> ReadOwnFile(const std::filesystem::path& path, std::size_t limit) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT) return std::nullopt;
        Fail(errno == ELOOP ? "a symbolic link stands in place of" : "cannot open", path);
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) Fail("cannot read", path);
    if (!S_ISREG(info.st_mode)) {
        errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        Fail("not a regular file:", path);
    }
    std::string content;
    char buffer[8192];
    while (content.size() < limit) {
        const ssize_t n = ::read(fd.get(), buffer, std::min(sizeof buffer, limit - content.size()));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) Fail("cannot read", path);
        if (n == 0) break;
        content.append(buffer, static_cast<std::size_t>(n));
    }
    return content;
}

void RemoveInterruptedWritesOf(const std::filesystem::path& path) {
    // mkstemp's names: "." + the file's name + "." + six characters.
    const std::string prefix = "." + path.filename().string() + ".";
    std::error_code ec;
    const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : ".";
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() == prefix.size() + 6 && name.starts_with(prefix))
            ::unlink(entry.path().c_str());
    }
}

void CreatePrivateDirectories(const std::filesystem::path& dir) {
    if (dir.empty() || std::filesystem::is_directory(dir)) return;
    CreatePrivateDirectories(dir.parent_path());
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) Fail("cannot create", dir);
}

void WriteFileAtomically(const std::filesystem::path& path, std::string_view content,
                         std::filesystem::perms mode) {
    const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : ".";
    CreatePrivateDirectories(dir);
    std::string temp = (dir / ("." + path.filename().string() + ".XXXXXX")).string();
    UniqueFd fd(::mkstemp(temp.data()));
    if (fd.get() < 0) Fail("cannot create a temporary file for", path);
    auto discard = [&] { ::unlink(temp.c_str()); };
    if (::fchmod(fd.get(), static_cast<mode_t>(mode)) != 0) {
        const int saved = errno;
        discard();
        errno = saved;
        Fail("cannot set the mode of", path);
    }
    for (std::size_t done = 0; done < content.size();) {
        const ssize_t n = ::write(fd.get(), content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int saved = errno;
            discard();
            errno = saved;
            Fail("cannot write", path);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd.get()) != 0 || ::close(fd.release()) != 0) {
        const int saved = errno;
        discard();
        errno = saved;
        Fail("cannot flush", path);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int saved = errno;
        discard();
        errno = saved;
        Fail("cannot replace", path);
    }
    // The rename itself must reach the disk too.
    UniqueFd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dirFd.get() >= 0) ::fsync(dirFd.get());
}

}  // namespace vorta::platform
