#include "platform/linux/UnixInstanceChannel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/AtomicFile.h"
#include "platform/linux/UniqueFd.h"

namespace vorta::platform {
namespace {

constexpr std::size_t kMaxRequest = 4096;
constexpr std::size_t kMaxReply = 16u << 20;

// The socket address for `path`. A path too long for sun_path is reached through the data
// dir's descriptor in /proc, which `dirFd` keeps open.
bool MakeAddress(const std::filesystem::path& path, sockaddr_un& addr, UniqueFd& dirFd) {
    addr = {};
    addr.sun_family = AF_UNIX;
    std::string name = path.string();
    if (name.size() >= sizeof addr.sun_path) {
        dirFd = UniqueFd(::open(path.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (dirFd.get() < 0) return false;
        name = "/proc/self/fd/" + std::to_string(dirFd.get()) + "/" + path.filename().string();
        if (name.size() >= sizeof addr.sun_path) return false;
    }
    std::memcpy(addr.sun_path, name.c_str(), name.size() + 1);
    return true;
}

void SetTimeouts(int fd, int seconds) {
    timeval tv{seconds, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Reads until end of stream, `stopAt` or `limit` bytes; false on an error or time-out.
bool ReadUntil(int fd, std::string& out, char stopAt, std::size_t limit) {
    char buffer[4096];
    while (out.size() < limit) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        out.append(buffer, static_cast<std::size_t>(n));
        if (stopAt != '\0' && out.find(stopAt) != std::string::npos) return true;
    }
    return true;
}

}  // namespace

UnixInstanceChannel::UnixInstanceChannel(std::filesystem::path dataDir)
    : dir_(std::move(dataDir)) {}

UnixInstanceChannel::~UnixInstanceChannel() {
    if (server_.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
        server_.join();
    }
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        ::unlink(SocketPath().c_str());
    }
    if (wakeFd_ >= 0) ::close(wakeFd_);
    if (lockFd_ >= 0) ::close(lockFd_);  // releases the lock
}

bool UnixInstanceChannel::Claim(std::function<std::string(const std::string&)> handler) {
    if (lockFd_ >= 0) return false;
    CreatePrivateDirectories(dir_);
    UniqueFd lock(::open(LockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (lock.get() < 0 || ::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) return false;

    // Holding the lock, any socket file found here was left by a process that died.
    ::unlink(SocketPath().c_str());
    sockaddr_un addr{};
    UniqueFd dirFd;
    UniqueFd listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (listener.get() < 0 || !MakeAddress(SocketPath(), addr, dirFd)) return false;
    const mode_t oldMask = ::umask(0077);
    const int bound = ::bind(listener.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::umask(oldMask);
    if (bound != 0 || ::listen(listener.get(), 8) != 0) return false;
    UniqueFd wake(::eventfd(0, EFD_CLOEXEC));
    if (wake.get() < 0) return false;

    lockFd_ = lock.release();
    listenFd_ = listener.release();
    wakeFd_ = wake.release();
    server_ = std::jthread([this, h = std::move(handler)] { Serve(h); });
    return true;
}

void UnixInstanceChannel::Serve(std::function<std::string(const std::string&)> handler) {
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0) return;
        if ((fds[0].revents & POLLIN) == 0) continue;
        UniqueFd conn(::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC));
        if (conn.get() < 0) continue;
        SetTimeouts(conn.get(), 2);
        std::string request;
        if (!ReadUntil(conn.get(), request, '\n', kMaxRequest)) continue;
        request = request.substr(0, request.find('\n'));
        if (!request.empty() && request.back() == '\r') request.pop_back();
        WriteAll(conn.get(), handler(request));
    }
}

std::optional<std::string> UnixInstanceChannel::Ask(const std::string& request) {
    sockaddr_un addr{};
    UniqueFd dirFd;
    if (!MakeAddress(SocketPath(), addr, dirFd)) return std::nullopt;
    UniqueFd conn(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (conn.get() < 0) return std::nullopt;
    if (::connect(conn.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        return std::nullopt;
    SetTimeouts(conn.get(), 10);
    if (!WriteAll(conn.get(), request + "\n")) return std::nullopt;
    ::shutdown(conn.get(), SHUT_WR);
    std::string reply;
    if (!ReadUntil(conn.get(), reply, '\0', kMaxReply)) return std::nullopt;
    return reply;
}

}  // namespace vorta::platform
