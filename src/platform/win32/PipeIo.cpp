#include "platform/win32/PipeIo.h"

#include <algorithm>

#include "platform/win32/UniqueHandle.h"

namespace vorta::platform {
namespace {

PipeEnd FromError(DWORD error) {
    switch (error) {
        case ERROR_BROKEN_PIPE:
        case ERROR_PIPE_NOT_CONNECTED:
        case ERROR_NO_DATA:
            return PipeEnd::Closed;
        default:
            return PipeEnd::Failed;
    }
}

// One overlapped operation with an event of its own; the OVERLAPPED outlives the I/O because
// Finish always collects its result, cancelling it first when the wait gave up.
class Operation {
public:
    Operation() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        overlapped_.hEvent = event_.get();
    }
    bool valid() const { return event_ != nullptr; }
    OVERLAPPED* get() { return &overlapped_; }

    // `issued` is what the Read/Write/Connect call returned.
    PipeEnd Finish(HANDLE pipe, BOOL issued, DWORD& bytes, HANDLE stop, DWORD timeoutMs) {
        bytes = 0;
        if (!issued && GetLastError() != ERROR_IO_PENDING) return FromError(GetLastError());
        DWORD wait = WAIT_OBJECT_0;
        if (!issued) {
            const HANDLE events[2] = {event_.get(), stop};
            wait = WaitForMultipleObjects(stop ? 2 : 1, events, FALSE, timeoutMs);
            if (wait != WAIT_OBJECT_0) CancelIoEx(pipe, &overlapped_);
        }
        // It may have completed before the cancel took hold: then its result stands.
        if (GetOverlappedResult(pipe, &overlapped_, &bytes, TRUE)) return PipeEnd::Done;
        const DWORD error = GetLastError();
        if (error != ERROR_OPERATION_ABORTED) return FromError(error);
        if (wait == WAIT_TIMEOUT) return PipeEnd::TimedOut;
        return wait == WAIT_OBJECT_0 + 1 ? PipeEnd::Stopped : PipeEnd::Failed;
    }

private:
    UniqueHandle event_;
    OVERLAPPED overlapped_{};
};

}  // namespace

PipeEnd ReadSome(HANDLE pipe, char* buffer, DWORD size, DWORD& got, HANDLE stop, DWORD timeoutMs) {
    Operation op;
    if (!op.valid()) return PipeEnd::Failed;
    const BOOL issued = ReadFile(pipe, buffer, size, nullptr, op.get());
    const PipeEnd end = op.Finish(pipe, issued, got, stop, timeoutMs);
    // A zero-byte read is how some ends report a closed pipe.
    return end == PipeEnd::Done && got == 0 ? PipeEnd::Closed : end;
}

PipeEnd WriteAll(HANDLE pipe, std::string_view data, HANDLE stop, DWORD timeoutMs) {
    Operation op;
    if (!op.valid()) return PipeEnd::Failed;
    while (!data.empty()) {
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(data.size(), 64 * 1024));
        ResetEvent(op.get()->hEvent);
        const BOOL issued = WriteFile(pipe, data.data(), piece, nullptr, op.get());
        DWORD written = 0;
        const PipeEnd end = op.Finish(pipe, issued, written, stop, timeoutMs);
        if (end != PipeEnd::Done) return end;
        if (written == 0) return PipeEnd::Failed;
        data.remove_prefix(written);
    }
    return PipeEnd::Done;
}

PipeEnd AwaitClient(HANDLE pipe, HANDLE stop, DWORD timeoutMs) {
    Operation op;
    if (!op.valid()) return PipeEnd::Failed;
    if (ConnectNamedPipe(pipe, op.get())) return PipeEnd::Done;
    if (GetLastError() == ERROR_PIPE_CONNECTED) return PipeEnd::Done;
    DWORD bytes = 0;
    return op.Finish(pipe, FALSE, bytes, stop, timeoutMs);
}

}  // namespace vorta::platform
