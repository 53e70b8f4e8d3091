#pragma once
#include "platform/linux/Guard.h"
// UDP datagrams over BSD sockets; the interfaces come from getifaddrs(), read again when the
// kernel tells of a change; wake-ups are eventfds.

#include <memory>
#include "platform/Datagrams.h"

#include "platform/InterfaceCache.h"
#include "platform/NetworkChanges.h"

namespace vorta::platform {

class UdpDatagrams final : public IDatagrams {
public:
    // The change notices of `changes`, which outlives this; without it, a watch of its own.
    explicit UdpDatagrams(NetworkChanges* changes = nullptr);

    std::unique_ptr<IUdpSocket> Open() override;
    std::unique_ptr<IUdpSocket> Bind(std::uint16_t port, std::error_code& error) override;
    std::unique_ptr<IWakeup> MakeWakeup() override;
    bool IsLanBroadcast(const Datagram& datagram) override;

private:
    InterfaceCache interfaces_;
    std::unique_ptr<NetworkChanges> ownChanges_;
    NetworkChanges* changes_;
    NetworkChanges::Subscription listening_;
};

}  // namespace vorta::platform
