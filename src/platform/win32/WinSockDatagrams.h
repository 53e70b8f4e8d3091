#pragma once
#include "platform/win32/Guard.h"
// UDP datagrams over WinSock 2.2; the interfaces come from GetAdaptersAddresses, read again when
// the system tells of a changed address; receipts come from WSARecvMsg with IP_PKTINFO, wake-ups
// are manual-reset events.

#include <memory>

#include "platform/Datagrams.h"
#include "platform/InterfaceCache.h"
#include "platform/win32/WinSockSession.h"

namespace vorta::platform {

class WinSockDatagrams final : public IDatagrams {
public:
    // Throws std::runtime_error kWinSockStartFailed when WinSock cannot be started.
    WinSockDatagrams();

    std::unique_ptr<IUdpSocket> Open() override;
    // `error` holds the WinSock error code (WSAEADDRINUSE for a port in use).
    std::unique_ptr<IUdpSocket> Bind(std::uint16_t port, std::error_code& error) override;
    std::unique_ptr<IWakeup> MakeWakeup() override;
    bool IsLanBroadcast(const Datagram& datagram) override;

private:
    struct NoticeCanceller {
        void operator()(void* notice) const;
    };

    WinSockSession session_;
    InterfaceCache interfaces_;
    // Tells interfaces_ of changed addresses; none where the system gives no notices. Cancelled
    // before interfaces_ goes.
    std::unique_ptr<void, NoticeCanceller> notice_;
};

}  // namespace vorta::platform
