#include "platform/linux/UnixInstanceChannel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "platform/AtomicFile.h"
#include "platform/ChannelWire.h"
#include "platform/ChannelWorkers.h"
#include "platform/ThreadName.h"
#include "platform/linux/ChannelAccess.h"
#include "platform/linux/UniqueFd.h"

namespace vorta::platform {
namespace {

constexpr std::size_t kMaxRequest = 4096;
constexpr std::size_t kMaxReply = 16u << 20;
using namespace wire;

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

// Connects to the instance's socket, trying again while its backlog is full until `deadline`
// has passed. An invalid descriptor with `outcome` NotRunning or Busy when that fails.
UniqueFd Connect(const sockaddr_un& addr, std::chrono::milliseconds deadline,
                 ChannelReply::Outcome& outcome) {
    outcome = ChannelReply::Outcome::NotRunning;
    // Non-blocking, a full backlog refuses at once (EAGAIN) instead of blocking without end.
    UniqueFd conn(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (conn.get() < 0) return UniqueFd();
    const auto until = std::chrono::steady_clock::now() + deadline;
    while (::connect(conn.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        if (errno == EINTR) continue;
        if (errno == EACCES || errno == EPERM) outcome = ChannelReply::Outcome::Denied;
        if (errno != EAGAIN) return UniqueFd();
        if (std::chrono::steady_clock::now() >= until) {
            outcome = ChannelReply::Outcome::Busy;
            return UniqueFd();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const int flags = ::fcntl(conn.get(), F_GETFL);
    if (flags < 0 || ::fcntl(conn.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return UniqueFd();
    return conn;
}

}  // namespace

UnixInstanceChannel::UnixInstanceChannel(std::filesystem::path dataDir)
    : dir_(std::move(dataDir)) {}

void UnixInstanceChannel::StopServing() {
    if (server_.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
        server_.join();
    }
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        ::unlink(SocketPath().c_str());
    }
}

UnixInstanceChannel::~UnixInstanceChannel() {
    StopServing();
    if (wakeFd_ >= 0) ::close(wakeFd_);
    if (lockFd_ >= 0) ::close(lockFd_);  // releases the lock
}

UniqueFd UnixInstanceChannel::TakeLock() {
    if (lockFd_ >= 0) return UniqueFd();
    CreatePrivateDirectories(dir_);
    UniqueFd lock(::open(LockPath().c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (lock.get() < 0 || ::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) return UniqueFd();
    return lock;
}

bool UnixInstanceChannel::Lock() {
    UniqueFd lock = TakeLock();
    if (!lock.valid()) return false;
    lockFd_ = lock.release();
    return true;
}

bool UnixInstanceChannel::Claim(Handler handler) {
    UniqueFd lock = TakeLock();
    if (!lock.valid()) return false;

    // Holding the lock, any socket file found here was left by a process that died.
    ::unlink(SocketPath().c_str());
    sockaddr_un addr{};
    UniqueFd dirFd;
    // Non-blocking: an asker that left before it was accepted never holds the accepting thread.
    UniqueFd listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (listener.get() < 0 || !MakeAddress(SocketPath(), addr, dirFd)) return false;
    const mode_t oldMask = ::umask(0077);
    const int bound = ::bind(listener.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::umask(oldMask);
    if (bound != 0) return false;
    // Before it listens, so the socket is never open wider than it ends up.
    OpenToClientGroup(dir_, SocketPath().filename());
    if (::listen(listener.get(), 8) != 0) return false;
    UniqueFd wake(::eventfd(0, EFD_CLOEXEC));
    if (wake.get() < 0) return false;

    lockFd_ = lock.release();
    listenFd_ = listener.release();
    wakeFd_ = wake.release();
    server_ = std::jthread([this, h = std::move(handler)] {
        NameThisThread("vorta-channel");
        Serve(h);
    });
    return true;
}

namespace {

// One request's connection, as its handler sees it.
class Connection : public IRequestContext {
public:
    Connection(int fd, bool mayChange) : fd_(fd), mayChange_(mayChange) {}
    bool Withdrawn() override {
        if (withdrawn_) return true;
        pollfd pfd{fd_, POLLIN, 0};
        if (::poll(&pfd, 1, 0) <= 0) return false;
        char buffer[64];
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
        // A cancel line, or the asker gone: either way nobody waits for this work any more.
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR) ||
            (pfd.revents & (POLLHUP | POLLERR)) != 0 ||
            (n > 0 && std::string_view(buffer, static_cast<std::size_t>(n)).find("CANCEL") !=
                          std::string_view::npos))
            withdrawn_ = true;
        return withdrawn_;
    }
    void Started() override {
        if (started_) return;
        started_ = true;
        WriteAll(fd_, kStartedMark);
    }
    bool Send(std::string_view text) override {
        if (withdrawn_) return false;
        if (!WriteAll(fd_, text)) withdrawn_ = true;
        return !withdrawn_;
    }
    bool MayChange() const override { return mayChange_; }
    bool started() const { return started_; }
    bool withdrawn() const { return withdrawn_; }

private:
    int fd_;
    bool mayChange_;
    bool started_ = false;
    bool withdrawn_ = false;
};

}  // namespace

namespace {

// Waits until `fd` has something to read or `until`; false at the time-out or when the channel
// stops (its wake descriptor stays readable once set).
bool AwaitInput(int fd, int wakeFd, std::chrono::steady_clock::time_point until) {
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int ready = ::poll(fds, 2, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || fds[1].revents != 0) return false;
        return true;
    }
}

// Reads one connection's request line, hands it to `handler` and writes the answer. A connection
// whose line does not arrive in time is closed; one still without its line when the channel
// stops is told that it was dropped.
void Answer(int conn, int wakeFd, const IInstanceChannel::Handler& handler) {
    SetTimeouts(conn, 2);
    const auto until = std::chrono::steady_clock::now() + kIdleTimeout;
    std::string request;
    char buffer[1024];
    while (request.size() < kMaxRequest && request.find('\n') == std::string::npos) {
        if (!AwaitInput(conn, wakeFd, until)) {
            pollfd wake{wakeFd, POLLIN, 0};
            if (::poll(&wake, 1, 0) > 0) WriteAll(conn, kDroppedMark);
            return;
        }
        const ssize_t n = ::recv(conn, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return;
        request.append(buffer, static_cast<std::size_t>(n));
    }
    request = request.substr(0, request.find('\n'));
    if (!request.empty() && request.back() == '\r') request.pop_back();
    Connection connection(conn, PeerMayChange(conn));
    std::string answer = handler(request, connection);
    if (connection.withdrawn() && !connection.started()) answer = kDroppedMark;
    WriteAll(conn, answer);
}

}  // namespace

void UnixInstanceChannel::Serve(const Handler& handler) {
    ChannelWorkers workers(kMaxConnections);
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents != 0) break;
        if ((fds[0].revents & POLLIN) == 0) continue;
        auto conn =
            std::make_shared<UniqueFd>(::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC));
        if (conn->get() < 0) continue;
        // The work owns the connection: it closes once its worker counts as done, so an asker
        // that has its answer finds its place free again.
        const bool taken = workers.TryStart(
            [conn, wakeFd = wakeFd_, &handler] { Answer(conn->get(), wakeFd, handler); });
        // Said at once, whatever the asker has sent: a full socket buffer cannot hold this up.
        if (!taken)
            ::send(conn->get(), kBusyMark.data(), kBusyMark.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    }
    // New askers find no instance; those still in the backlog hear that nobody will serve them
    // (closing the listener would reset them); then the requests in hand are finished.
    ::unlink(SocketPath().c_str());
    for (;;) {
        UniqueFd conn(::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (conn.get() < 0) break;
        ::send(conn.get(), kDroppedMark.data(), kDroppedMark.size(), MSG_NOSIGNAL);
    }
    ::close(std::exchange(listenFd_, -1));
    workers.JoinAll();
}

ChannelReply UnixInstanceChannel::Request(const std::string& request,
                                          std::chrono::milliseconds timeout) {
    ChannelReply reply;
    sockaddr_un addr{};
    UniqueFd dirFd;
    if (!MakeAddress(SocketPath(), addr, dirFd)) return reply;
    UniqueFd conn = Connect(addr, std::min<std::chrono::milliseconds>(timeout, kConnectDeadline),
                            reply.outcome);
    if (!conn.valid()) return reply;
    reply.outcome = ChannelReply::Outcome::Withdrawn;
    SetTimeouts(conn.get(), 10);
    if (!WriteAll(conn.get(), request + "\n")) {
        // Turned away before the request was read: what the instance said is still there.
        std::string said;
        if (ReadUntil(conn.get(), said, '\0', kBusyMark.size()) && said == kBusyMark)
            reply.outcome = ChannelReply::Outcome::Busy;
        return reply;
    }

    // Reads what comes until the end of the answer, `until`, or (with `verdictOnly`) the
    // instance's word on a withdrawn request; true at the end of the answer.
    std::string received;
    const auto readUntil = [&](std::chrono::steady_clock::time_point until, bool verdictOnly) {
        char buffer[4096];
        while (received.size() < kMaxReply) {
            if (verdictOnly && received.starts_with(kStartedMark)) return false;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd pfd{conn.get(), POLLIN, 0};
            const int ready = ::poll(&pfd, 1, static_cast<int>(left.count()));
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) return false;
            const ssize_t n = ::recv(conn.get(), buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return true;
            received.append(buffer, static_cast<std::size_t>(n));
        }
        return true;
    };
    bool complete = readUntil(std::chrono::steady_clock::now() + timeout, false);
    if (!complete) {
        // Withdraw the request, then learn whether the instance had started it after all.
        WriteAll(conn.get(), kCancel);
        complete = readUntil(std::chrono::steady_clock::now() + std::chrono::seconds(5), true);
    }
    return wire::ReplyFrom(std::move(received), complete);
}

ChannelReply::Outcome UnixInstanceChannel::Watch(
    const std::string& request, const std::function<bool(std::string_view line)>& onLine,
    std::stop_token stop) {
    sockaddr_un addr{};
    UniqueFd dirFd;
    ChannelReply::Outcome outcome = ChannelReply::Outcome::NotRunning;
    if (!MakeAddress(SocketPath(), addr, dirFd)) return outcome;
    UniqueFd conn = Connect(addr, kConnectDeadline, outcome);
    if (!conn.valid()) return outcome;
    SetTimeouts(conn.get(), 10);
    if (!WriteAll(conn.get(), request + "\n")) return ChannelReply::Outcome::NotRunning;
    StreamLines stream(onLine);
    char buffer[4096];
    while (!stop.stop_requested()) {
        pollfd pfd{conn.get(), POLLIN, 0};
        const int ready = ::poll(&pfd, 1, 200);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        const ssize_t n = ::recv(conn.get(), buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || !stream.Feed(std::string_view(buffer, static_cast<std::size_t>(n)))) break;
    }
    return stream.Outcome();
}

}  // namespace vorta::platform
