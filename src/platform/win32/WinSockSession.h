#pragma once
#include "platform/win32/Guard.h"
// WinSock for as long as a session lives. WinSock counts its start-ups, so sessions nest: the
// last one to end releases it.

#include <cstdint>

namespace vorta::platform {

inline constexpr const char* kWinSockStartFailed = "WSAStartup - Could Not Initialize WinSock";

class WinSockSession {
public:
    // Throws std::runtime_error kWinSockStartFailed when WinSock cannot be started with exactly
    // `version` (major in the low byte, as MAKEWORD makes it; 2.2 unless a test asks otherwise).
    explicit WinSockSession(std::uint16_t version = 0x0202);
    ~WinSockSession();
    WinSockSession(const WinSockSession&) = delete;
    WinSockSession& operator=(const WinSockSession&) = delete;
};

}  // namespace vorta::platform
