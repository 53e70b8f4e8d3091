#pragma once
#include "platform/linux/Guard.h"
// UDP datagrams over BSD sockets; the interfaces come from getifaddrs(), read again when a
// routing socket tells of a change; wake-ups are eventfds.

#include "platform/Datagrams.h"
#include "platform/InterfaceCache.h"
#include "platform/linux/UniqueFd.h"

namespace vorta::platform {

class UdpDatagrams final : public IDatagrams {
public:
    UdpDatagrams();

    std::unique_ptr<IUdpSocket> Open() override;
    std::unique_ptr<IUdpSocket> Bind(std::uint16_t port, std::error_code& error) override;
    std::unique_ptr<IWakeup> MakeWakeup() override;
    bool IsLanBroadcast(const Datagram& datagram) override;

private:
    UniqueFd changes_;  // invalid without one: the cache's own re-reads then keep it current
    InterfaceCache interfaces_;
};

}  // namespace vorta::platform
