#pragma once
#include "platform/linux/Guard.h"
// UDP datagrams over BSD sockets; the interfaces come from getifaddrs(), wake-ups are eventfds.

#include "platform/Datagrams.h"

namespace vorta::platform {

class UdpDatagrams final : public IDatagrams {
public:
    std::unique_ptr<IUdpSocket> Open() override;
    std::unique_ptr<IUdpSocket> Bind(std::uint16_t port, std::error_code& error) override;
    std::unique_ptr<IWakeup> MakeWakeup() override;
    bool IsLanBroadcast(const Datagram& datagram) override;
};

}  // namespace vorta::platform
