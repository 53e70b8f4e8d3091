#pragma once
#include "platform/win32/Guard.h"
// UDP datagrams over WinSock 2.2; the interfaces come from GetAdaptersAddresses, read again when
// the system tells of a change; receipts come from WSARecvMsg with IP_PKTINFO, wake-ups
// are manual-reset events.

#include <memory>

#include "platform/Datagrams.h"
#include "platform/InterfaceCache.h"
#include "platform/NetworkChanges.h"
#include "platform/win32/WinSockSession.h"

namespace vorta::platform {

class WinSockDatagrams final : public IDatagrams {
public:
    // Throws std::runtime_error kWinSockStartFailed when WinSock cannot be started. The change
    // notices of `changes`, which outlives this; without it, notices of its own.
    explicit WinSockDatagrams(NetworkChanges* changes = nullptr);

    std::unique_ptr<IUdpSocket> Open() override;
    // `error` holds the WinSock error code (WSAEADDRINUSE for a port in use).
    std::unique_ptr<IUdpSocket> Bind(std::uint16_t port, std::error_code& error) override;
    std::unique_ptr<IWakeup> MakeWakeup() override;
    bool IsLanBroadcast(const Datagram& datagram) override;

private:
    WinSockSession session_;
    InterfaceCache interfaces_;
    std::unique_ptr<NetworkChanges> ownChanges_;
    NetworkChanges* changes_;
    // Tells interfaces_ of changes; ends before interfaces_ goes.
    NetworkChanges::Subscription listening_;
};

}  // namespace vorta::platform
