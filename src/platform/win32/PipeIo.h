#pragma once
#include "platform/win32/Guard.h"
// Overlapped I/O on a named pipe handle opened with FILE_FLAG_OVERLAPPED: every wait ends at a
// time-out or when `stop` (a manual-reset event, or null for none) is set.

#include <windows.h>

#include <string_view>

namespace vorta::platform {

enum class PipeEnd {
    Done,      // the operation completed
    Closed,    // the other end is gone
    TimedOut,  // cancelled at the time-out
    Stopped,   // cancelled because `stop` was set
    Failed,
};

// Reads what has arrived, at most `size` bytes, into `buffer`; `got` is the count.
PipeEnd ReadSome(HANDLE pipe, char* buffer, DWORD size, DWORD& got, HANDLE stop, DWORD timeoutMs);
// Writes all of `data`; the time-out applies to each 64 KiB piece.
PipeEnd WriteAll(HANDLE pipe, std::string_view data, HANDLE stop, DWORD timeoutMs);
// Waits for a client on a server instance (Done also when one connected already).
PipeEnd AwaitClient(HANDLE pipe, HANDLE stop, DWORD timeoutMs);

}  // namespace vorta::platform
