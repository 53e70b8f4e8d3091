#include "platform/win32/WinSockSession.h"

#include <winsock2.h>

#include <stdexcept>

namespace vorta::platform {

WinSockSession::WinSockSession(std::uint16_t version) {
    WSADATA data{};
    if (WSAStartup(version, &data) != 0) throw std::runtime_error(kWinSockStartFailed);
    // A request above what WinSock offers succeeds with the highest version it has.
    if (data.wVersion != version) {
        WSACleanup();
        throw std::runtime_error(kWinSockStartFailed);
    }
}

WinSockSession::~WinSockSession() {
    WSACleanup();
}

}  // namespace vorta::platform
