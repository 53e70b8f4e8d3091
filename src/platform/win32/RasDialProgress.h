#pragma once
#include "platform/win32/Guard.h"
// The progress of one asynchronous RasDialW, handed from the RAS thread's callback to the thread
// that waits for the dial. The callback finds its dial by the id of the dial parameters, never by
// a pointer, so a late call after the dial is over does no harm.

// clang-format off
#include <windows.h>
#include <ras.h>
// clang-format on

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <utility>

namespace vorta::platform {

struct DialProgress {
    std::mutex lock;
    std::condition_variable_any changed;
    std::deque<std::pair<int, int>> events;  // state, error, in the order RAS reported them
    bool hungUp = false;                     // HangUp ended the attempt
};

// Registers a dial's progress for the callback while it lives.
class DialRegistration {
public:
    DialRegistration();
    ~DialRegistration();
    DialRegistration(const DialRegistration&) = delete;
    DialRegistration& operator=(const DialRegistration&) = delete;

    ULONG_PTR id() const { return id_; }
    const std::shared_ptr<DialProgress>& progress() const { return progress_; }

private:
    ULONG_PTR id_;
    std::shared_ptr<DialProgress> progress_;
};

// The RasDialFunc2 notifier: its callback id is a DialRegistration's id.
DWORD WINAPI OnRasDialProgress(ULONG_PTR id, DWORD subEntry, HRASCONN connection, UINT message,
                               RASCONNSTATE state, DWORD error, DWORD extendedError);

}  // namespace vorta::platform
