#pragma once
#include "platform/win32/Guard.h"
// An owning wrapper for a WinSock socket.

#include <winsock2.h>

#include <utility>

namespace vorta::platform {

class UniqueSocket {
public:
    UniqueSocket() = default;
    explicit UniqueSocket(SOCKET s) : s_(s) {}
    ~UniqueSocket() { reset(); }
    UniqueSocket(UniqueSocket&& other) noexcept : s_(other.release()) {}
    UniqueSocket& operator=(UniqueSocket&& other) noexcept {
        if (this != &other) {
            reset();
            s_ = other.release();
        }
        return *this;
    }

    SOCKET get() const { return s_; }
    bool valid() const { return s_ != INVALID_SOCKET; }
    SOCKET release() { return std::exchange(s_, INVALID_SOCKET); }
    void reset() {
        if (valid()) closesocket(release());
    }

private:
    SOCKET s_ = INVALID_SOCKET;
};

}  // namespace vorta::platform
