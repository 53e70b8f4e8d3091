#pragma once
#include "platform/win32/Guard.h"
// UDP datagrams over WinSock 2.2; the interfaces come from GetAdaptersAddresses, receipts from
// WSARecvMsg with IP_PKTINFO, wake-ups are manual-reset events.

#include "platform/Datagrams.h"
#include "platform/win32/WinSockSession.h"

namespace vorta::platform {

class WinSockDatagrams final : public IDatagrams {
public:
    // Throws std::runtime_error kWinSockStartFailed when WinSock cannot be started.
    WinSockDatagrams() = default;

    std::unique_ptr<IUdpSocket> Open() override;
    // `error` holds the WinSock error code (WSAEADDRINUSE for a port in use).
    std::unique_ptr<IUdpSocket> Bind(std::uint16_t port, std::error_code& error) override;
    std::unique_ptr<IWakeup> MakeWakeup() override;
    bool IsLanBroadcast(const Datagram& datagram) override;

private:
    WinSockSession session_;
};

}  // namespace vorta::platform
