#include "platform/AtomicFile.h"

#include "platform/linux/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
