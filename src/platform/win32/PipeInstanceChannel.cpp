#include "platform/win32/PipeInstanceChannel.h"

#include <sddl.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/ChannelWire.h"
#include "platform/ChannelWorkers.h"
#include "platform/ThreadName.h"
#include "platform/win32/InstanceName.h"
#include "platform/win32/PipeIo.h"
#include "platform/win32/PipeServerCheck.h"

namespace vorta::platform {
namespace {

constexpr std::size_t kMaxRequest = 4096;
constexpr std::size_t kMaxReply = 16u << 20;
constexpr DWORD kServerIoMs = 2000;
constexpr DWORD kAskerWriteMs = 10000;
using namespace wire;

// One request's connection, as its handler sees it.
class Connection : public IRequestContext {
public:
    explicit Connection(HANDLE pipe) : pipe_(pipe) {}
    bool Withdrawn() override {
        if (withdrawn_) return true;
        DWORD available = 0;
        // A failing peek: the asker hung up.
        if (!PeekNamedPipe(pipe_, nullptr, 0, nullptr, &available, nullptr)) {
            withdrawn_ = true;
        } else if (available > 0) {
            char buffer[64];
            DWORD got = 0;
            const PipeEnd end = ReadSome(pipe_, buffer, sizeof buffer, got, nullptr, kServerIoMs);
            withdrawn_ = end == PipeEnd::Closed ||
                         (end == PipeEnd::Done &&
                          std::string_view(buffer, got).find("CANCEL") != std::string_view::npos);
        }
        return withdrawn_;
    }
    void Started() override {
        if (started_) return;
        started_ = true;
        WriteAll(pipe_, kStartedMark, nullptr, kServerIoMs);
    }
    bool Send(std::string_view text) override {
        if (withdrawn_) return false;
        if (WriteAll(pipe_, text, nullptr, kServerIoMs) != PipeEnd::Done) withdrawn_ = true;
        return !withdrawn_;
    }
    bool started() const { return started_; }
    bool withdrawn() const { return withdrawn_; }

private:
    HANDLE pipe_;
    bool started_ = false;
    bool withdrawn_ = false;
};

// Reads the request line from a connected instance, hands it to `handler` and writes the answer.
// An instance whose line does not arrive in time is closed; one still without its line when the
// channel stops (`stop` is set) is told that it was dropped.
void Answer(HANDLE pipe, HANDLE stop, const IInstanceChannel::Handler& handler) {
    std::string request;
    const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(kIdleTimeout.count());
    char buffer[1024];
    while (request.size() < kMaxRequest && request.find('\n') == std::string::npos) {
        const ULONGLONG now = GetTickCount64();
        if (now >= until) return;
        DWORD got = 0;
        const PipeEnd end =
            ReadSome(pipe, buffer, sizeof buffer, got, stop, static_cast<DWORD>(until - now));
        if (end == PipeEnd::Stopped) WriteAll(pipe, kDroppedMark, nullptr, kServerIoMs);
        if (end != PipeEnd::Done) return;
        request.append(buffer, got);
    }
    request = request.substr(0, request.find('\n'));
    if (!request.empty() && request.back() == '\r') request.pop_back();
    Connection connection(pipe);
    std::string answer = handler(request, connection);
    if (connection.withdrawn() && !connection.started()) answer = kDroppedMark;
    WriteAll(pipe, answer, nullptr, kServerIoMs);
}

// An asker already connected to an instance that will not be served is told that its request
// was dropped.
void TurnAway(HANDLE pipe) {
    if (AwaitClient(pipe, nullptr, 0) == PipeEnd::Done)
        WriteAll(pipe, kDroppedMark, nullptr, kServerIoMs);
}

// Opens a connection to the instance, waiting up to `connectMs` while every pipe instance is
// taken; empty with `outcome` NotRunning or Busy when that fails, or Impostor (and `who`) when
// the pipe's server is not the client.
UniqueHandle OpenPipe(const std::wstring& name, DWORD connectMs, ChannelReply::Outcome& outcome,
                      std::string& who) {
    outcome = ChannelReply::Outcome::NotRunning;
    const ULONGLONG connectBy = GetTickCount64() + connectMs;
    for (;;) {
        // Identification only: a server that is not ours cannot act as this user.
        HANDLE opened = CreateFileW(
            name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
            FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
        if (opened != INVALID_HANDLE_VALUE) {
            UniqueHandle pipe(opened);
            const PipeServer server = CheckPipeServer(pipe.get());
            if (server.trusted) return pipe;
            outcome = ChannelReply::Outcome::Impostor;
            who = ImpostorText(server);
            return {};
        }
        const DWORD error = GetLastError();
        // Kept out by the pipe's access list: the service of a group this user is not in.
        if (error == ERROR_ACCESS_DENIED) outcome = ChannelReply::Outcome::Denied;
        if (error != ERROR_PIPE_BUSY) return {};
        // Every instance taken: wait for one until the connect's deadline.
        const ULONGLONG now = GetTickCount64();
        if (now >= connectBy) {
            outcome = ChannelReply::Outcome::Busy;
            return {};
        }
        if (!WaitNamedPipeW(name.c_str(), static_cast<DWORD>(connectBy - now)) &&
            GetLastError() == ERROR_FILE_NOT_FOUND)
            return {};
    }
}

}  // namespace

PipeInstanceChannel::PipeInstanceChannel(std::filesystem::path dataDir)
    : dir_(std::move(dataDir)) {}

PipeInstanceChannel::~PipeInstanceChannel() {
    StopServing();
}

std::wstring PipeInstanceChannel::PipeName() const {
    return L"\\\\.\\pipe\\" + InstanceId(dir_);
}

void PipeInstanceChannel::StopServing() {
    if (!server_.joinable()) return;
    server_.request_stop();
    server_.join();
}

std::unique_ptr<InstanceMutex> PipeInstanceChannel::TakeMutex() {
    if (mutex_) return nullptr;
    CreatePrivateDirectories(dir_);
    auto mutex = std::make_unique<InstanceMutex>(InstanceId(dir_));
    if (!mutex->held()) return nullptr;
    return mutex;
}

bool PipeInstanceChannel::Lock() {
    mutex_ = TakeMutex();
    return mutex_ != nullptr;
}

UniqueHandle PipeInstanceChannel::NewInstance(bool first) const {
    SECURITY_ATTRIBUTES attributes{sizeof attributes, security_.get(), FALSE};
    // The first instance fails when the name exists: nobody can hold the pipe in wait for this
    // client. Further instances need the right to create them, which the ACL keeps to us.
    const DWORD openMode =
        PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
    const DWORD pipeMode =
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS;
    HANDLE pipe = CreateNamedPipeW(pipeName_.c_str(), openMode, pipeMode, PIPE_UNLIMITED_INSTANCES,
                                   64 * 1024, 4096, 0, &attributes);
    return UniqueHandle(pipe == INVALID_HANDLE_VALUE ? nullptr : pipe);
}

bool PipeInstanceChannel::Claim(Handler handler) {
    if (mutex_) return false;
    std::unique_ptr<InstanceMutex> mutex = TakeMutex();
    if (!mutex) return false;

    security_ =
        RunningAsLocalSystem() ? ServiceChannelSecurityDescriptor() : PrivateSecurityDescriptor();
    if (!security_) return false;
    pipeName_ = PipeName();
    UniqueHandle listening = NewInstance(true);
    UniqueHandle stopEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!listening || !stopEvent) return false;
    // Instances besides this one were made by someone else: where FILE_FLAG_FIRST_PIPE_INSTANCE
    // is ignored (Wine), this is what refuses the name.
    DWORD instances = 0;
    if (!GetNamedPipeHandleStateW(listening.get(), nullptr, &instances, nullptr, nullptr, nullptr,
                                  0) ||
        instances != 1)
        return false;

    mutex_ = std::move(mutex);
    stopEvent_ = std::move(stopEvent);
    server_ = std::jthread(
        [this, l = std::move(listening), h = std::move(handler)](std::stop_token stop) mutable {
            NameThisThread("vorta-channel");
            Serve(stop, std::move(l), h);
        });
    return true;
}

void PipeInstanceChannel::Serve(std::stop_token stop, UniqueHandle listening,
                                const Handler& handler) {
    ResetEvent(stopEvent_.get());
    std::stop_callback wake(stop, [this] { SetEvent(stopEvent_.get()); });
    ChannelWorkers workers(kMaxConnections);
    while (listening) {
        const PipeEnd connected = AwaitClient(listening.get(), stopEvent_.get(), INFINITE);
        if (connected == PipeEnd::Closed) {  // the asker left before it was seen
            DisconnectNamedPipe(listening.get());
            continue;
        }
        if (connected != PipeEnd::Done) break;
        // The next instance waits while this one is served, so the name never goes missing.
        UniqueHandle next = NewInstance(false);
        // The work owns the instance: it closes once its worker counts as done, so an asker that
        // has its answer finds its place free again. Closed without disconnecting: the asker
        // still reads what is left, then the end.
        auto pipe = std::make_shared<UniqueHandle>(std::move(listening));
        const bool taken = workers.TryStart([pipe, stopEvent = stopEvent_.get(), &handler] {
            Answer(pipe->get(), stopEvent, handler);
        });
        // The mark fits the pipe's buffer: the write completes whatever the asker does.
        if (!taken) WriteAll(pipe->get(), kBusyMark, nullptr, kServerIoMs);
        listening = next ? std::move(next) : NewInstance(false);
    }
    // New askers find no instance while the requests in hand are finished.
    if (listening) TurnAway(listening.get());
    listening.reset();
    workers.JoinAll();
}

ChannelReply PipeInstanceChannel::Request(const std::string& request,
                                          std::chrono::milliseconds timeout) {
    ChannelReply reply;
    const std::wstring name = PipeName();
    const ULONGLONG start = GetTickCount64();
    const auto msLeft = [](ULONGLONG until) -> DWORD {
        const ULONGLONG now = GetTickCount64();
        return now >= until ? 0 : static_cast<DWORD>(until - now);
    };
    const ULONGLONG deadline =
        start + static_cast<ULONGLONG>(std::max<long long>(timeout.count(), 0));

    const ULONGLONG connectBy =
        start + static_cast<ULONGLONG>(std::min<long long>(std::max<long long>(timeout.count(), 0),
                                                           kConnectDeadline.count()));
    UniqueHandle pipe = OpenPipe(name, msLeft(connectBy), reply.outcome, reply.text);
    if (!pipe) return reply;
    reply.outcome = ChannelReply::Outcome::Withdrawn;
    if (WriteAll(pipe.get(), request + "\n", nullptr, kAskerWriteMs) != PipeEnd::Done) {
        // Turned away before the request was read: what the instance said is still there.
        char said[8];
        DWORD got = 0;
        if (ReadSome(pipe.get(), said, sizeof said, got, nullptr, kServerIoMs) == PipeEnd::Done &&
            std::string_view(said, got) == kBusyMark)
            reply.outcome = ChannelReply::Outcome::Busy;
        return reply;
    }

    // Reads what comes until the end of the answer, `until`, or (with `verdictOnly`) the
    // instance's word on a withdrawn request; true at the end of the answer.
    std::string received;
    const auto readUntil = [&](ULONGLONG until, bool verdictOnly) {
        char buffer[4096];
        while (received.size() < kMaxReply) {
            if (verdictOnly && received.starts_with(kStartedMark)) return false;
            const DWORD left = msLeft(until);
            if (left == 0) return false;
            DWORD got = 0;
            const PipeEnd end = ReadSome(pipe.get(), buffer, sizeof buffer, got, nullptr, left);
            if (end == PipeEnd::TimedOut) return false;
            if (end != PipeEnd::Done) return true;
            received.append(buffer, got);
        }
        return true;
    };
    bool complete = readUntil(deadline, false);
    if (!complete) {
        // Withdraw the request, then learn whether the instance had started it after all.
        WriteAll(pipe.get(), kCancel, nullptr, kServerIoMs);
        complete = readUntil(GetTickCount64() + 5000, true);
    }
    return wire::ReplyFrom(std::move(received), complete);
}

ChannelReply::Outcome PipeInstanceChannel::Watch(
    const std::string& request, const std::function<bool(std::string_view line)>& onLine,
    std::stop_token stop) {
    ChannelReply::Outcome outcome = ChannelReply::Outcome::NotRunning;
    std::string who;
    UniqueHandle pipe =
        OpenPipe(PipeName(), static_cast<DWORD>(kConnectDeadline.count()), outcome, who);
    if (!pipe) return outcome;
    if (WriteAll(pipe.get(), request + "\n", nullptr, kAskerWriteMs) != PipeEnd::Done)
        return ChannelReply::Outcome::NotRunning;
    StreamLines stream(onLine);
    char buffer[4096];
    while (!stop.stop_requested()) {
        DWORD got = 0;
        const PipeEnd end = ReadSome(pipe.get(), buffer, sizeof buffer, got, nullptr, 200);
        if (end == PipeEnd::TimedOut) continue;
        if (end != PipeEnd::Done || !stream.Feed(std::string_view(buffer, got))) break;
    }
    return stream.Outcome();
}

}  // namespace vorta::platform
