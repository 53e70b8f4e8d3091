#pragma once
#include "platform/win32/Guard.h"
// The named mutex that marks a data dir's one instance, owned by a thread of its own.
//
// A mutex belongs to the thread that took it and counts as abandoned when that thread ends, so
// it is taken and released on one dedicated thread that lives as long as this object. Ownership,
// not the object's existence, is the marker: a process that merely has the mutex open (one that
// failed to take it, say) blocks nobody, and the mutex of a process that died is abandoned,
// which counts as free.

#include <string>
#include <thread>

namespace vorta::platform {

class InstanceMutex {
public:
    // Tries to take the mutex for `id` (see InstanceId) at once; held() tells whether it did.
    explicit InstanceMutex(const std::wstring& id);
    // Releases the mutex.
    ~InstanceMutex() = default;
    InstanceMutex(const InstanceMutex&) = delete;
    InstanceMutex& operator=(const InstanceMutex&) = delete;

    bool held() const { return held_; }

private:
    bool held_ = false;
    std::jthread owner_;
};

}  // namespace vorta::platform
