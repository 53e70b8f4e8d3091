#include "platform/linux/UdpDatagrams.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "platform/linux/NetlinkChanges.h"
#include "platform/linux/UniqueFd.h"

namespace vorta::platform {
namespace {

class EventWakeup final : public IWakeup {
public:
    explicit EventWakeup(UniqueFd fd) : fd_(std::move(fd)) {}
    void Wake() override {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto n = ::write(fd_.get(), &one, sizeof one);
    }
    int Fd() const { return fd_.get(); }

private:
    UniqueFd fd_;
};

using IfAddrs = std::unique_ptr<ifaddrs, decltype(&::freeifaddrs)>;

std::uint32_t HostOrder(const sockaddr* addr) {
    return ntohl(reinterpret_cast<const sockaddr_in*>(addr)->sin_addr.s_addr);
}

// Every interface with IPv4, labelled addresses ("eth0:1") with their interface's.
std::vector<Ip4Interface> ReadInterfaces() {
    ifaddrs* first = nullptr;
    if (::getifaddrs(&first) != 0) return {};
    const IfAddrs list(first, &::freeifaddrs);
    std::vector<Ip4Interface> interfaces;
    for (const ifaddrs* a = list.get(); a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET ||
            a->ifa_netmask == nullptr)
            continue;
        const std::string name(a->ifa_name, std::strcspn(a->ifa_name, ":"));
        const unsigned index = ::if_nametoindex(name.c_str());
        if (index == 0) continue;
        auto entry = std::find_if(interfaces.begin(), interfaces.end(),
                                  [&](const Ip4Interface& known) { return known.index == index; });
        if (entry == interfaces.end())
            entry = interfaces.insert(entry, Ip4Interface{index, false, {}});
        entry->broadcastCapable = (a->ifa_flags & IFF_UP) != 0 &&
                                  (a->ifa_flags & IFF_BROADCAST) != 0 &&
                                  (a->ifa_flags & IFF_LOOPBACK) == 0;
        Ip4Subnet subnet{HostOrder(a->ifa_addr), HostOrder(a->ifa_netmask), 0};
        if ((a->ifa_flags & IFF_BROADCAST) != 0 && a->ifa_broadaddr != nullptr &&
            a->ifa_broadaddr->sa_family == AF_INET)
            subnet.broadcast = HostOrder(a->ifa_broadaddr);
        entry->subnets.push_back(subnet);
    }
    return interfaces;
}

// The interfaces a limited broadcast leaves through.
std::vector<unsigned> BroadcastInterfaces() {
    std::vector<unsigned> indexes;
    for (const Ip4Interface& entry : ReadInterfaces())
        if (entry.broadcastCapable) indexes.push_back(entry.index);
    return indexes;
}

sockaddr_in Address(in_addr_t hostOrder, std::uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(hostOrder);
    return addr;
}

// A blocking IPv4 UDP socket with the broadcast and do-not-route options on.
UniqueFd OpenSocket() {
    UniqueFd s(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP));
    if (!s.valid()) return s;
    const int on = 1;
    ::setsockopt(s.get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    ::setsockopt(s.get(), SOL_SOCKET, SO_DONTROUTE, &on, sizeof on);
    return s;
}

// A message of one buffer with room for an IP_PKTINFO control block, as sendmsg and recvmsg
// take it.
struct PktInfoMessage {
    PktInfoMessage(sockaddr_in& address, void* data, std::size_t size) : io{data, size} {
        header.msg_name = &address;
        header.msg_namelen = sizeof address;
        header.msg_iov = &io;
        header.msg_iovlen = 1;
        header.msg_control = control;
        header.msg_controllen = sizeof control;
    }
    PktInfoMessage(const PktInfoMessage&) = delete;
    PktInfoMessage& operator=(const PktInfoMessage&) = delete;

    iovec io;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr header{};
};

class UdpSocket final : public IUdpSocket {
public:
    explicit UdpSocket(UniqueFd fd) : fd_(std::move(fd)) {}

    int SendBroadcast(std::uint16_t port, std::string_view data) override {
        sockaddr_in addr = Address(INADDR_BROADCAST, port);
        // With do-not-route on, Linux finds no route for the limited broadcast unless the
        // outgoing interface is named, so the datagram leaves through each broadcast-capable
        // interface.
        const std::vector<unsigned> interfaces = BroadcastInterfaces();
        if (interfaces.empty()) return Send(addr, data);
        int sent = -1;
        for (const unsigned index : interfaces) {
            PktInfoMessage message(addr, const_cast<char*>(data.data()), data.size());
            cmsghdr* header = CMSG_FIRSTHDR(&message.header);
            header->cmsg_level = IPPROTO_IP;
            header->cmsg_type = IP_PKTINFO;
            header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
            in_pktinfo info{};
            info.ipi_ifindex = static_cast<int>(index);
            std::memcpy(CMSG_DATA(header), &info, sizeof info);
            const auto n = ::sendmsg(fd_.get(), &message.header, MSG_NOSIGNAL);
            if (n >= 0) sent = static_cast<int>(n);
        }
        return sent;
    }

    int SendTo(const std::string& to, std::uint16_t port, std::string_view data) override {
        sockaddr_in addr = Address(INADDR_ANY, port);
        if (::inet_pton(AF_INET, to.c_str(), &addr.sin_addr) != 1) return -1;
        if (addr.sin_addr.s_addr == htonl(INADDR_BROADCAST)) return SendBroadcast(port, data);
        return Send(addr, data);
    }

    Receipt Receive(std::chrono::milliseconds timeout, Datagram& datagram, std::span<char> buffer,
                    const IWakeup* wakeup) override {
        const auto* event = dynamic_cast<const EventWakeup*>(wakeup);
        const int wakeFd = event != nullptr ? event->Fd() : -1;
        pollfd fds[2] = {{fd_.get(), POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int wait = timeout.count() < 0
                             ? -1
                             : static_cast<int>(std::min<long long>(timeout.count(), INT_MAX));
        const int ready = ::poll(fds, wakeFd >= 0 ? 2 : 1, wait);
        if (ready <= 0 || (wakeFd >= 0 && fds[1].revents != 0) || (fds[0].revents & POLLIN) == 0)
            return Receipt::Nothing;
        sockaddr_in from{};
        PktInfoMessage message(from, buffer.data(), buffer.size());
        // Not waiting: the kernel may have dropped what poll saw (a bad checksum), and a blocked
        // receive would no longer see the wake-up.
        const auto n = ::recvmsg(fd_.get(), &message.header, MSG_DONTWAIT);
        if (n < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? Receipt::Nothing
                                                                             : Receipt::Error;
        datagram = Datagram{};
        datagram.length = static_cast<std::size_t>(n);
        datagram.senderAddress = ntohl(from.sin_addr.s_addr);
        char text[INET_ADDRSTRLEN] = {};
        datagram.sender = ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text) ? text : "";
        for (cmsghdr* header = CMSG_FIRSTHDR(&message.header); header != nullptr;
             header = CMSG_NXTHDR(&message.header, header)) {
            if (header->cmsg_level != IPPROTO_IP || header->cmsg_type != IP_PKTINFO) continue;
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(header), sizeof info);
            datagram.destination = ntohl(info.ipi_addr.s_addr);
            datagram.interfaceIndex = static_cast<unsigned>(info.ipi_ifindex);
        }
        return Receipt::Datagram;
    }

private:
    int Send(const sockaddr_in& addr, std::string_view data) {
        return static_cast<int>(::sendto(fd_.get(), data.data(), data.size(), MSG_NOSIGNAL,
                                         reinterpret_cast<const sockaddr*>(&addr), sizeof addr));
    }

    UniqueFd fd_;
};

}  // namespace

std::unique_ptr<IUdpSocket> UdpDatagrams::Open() {
    UniqueFd s = OpenSocket();
    if (!s.valid()) return nullptr;
    return std::make_unique<UdpSocket>(std::move(s));
}

std::unique_ptr<IUdpSocket> UdpDatagrams::Bind(std::uint16_t port, std::error_code& error) {
    error.clear();
    UniqueFd s = OpenSocket();
    const int on = 1;
    const sockaddr_in addr = Address(INADDR_ANY, port);
    if (!s.valid() || ::setsockopt(s.get(), IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0 ||
        ::bind(s.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        error = std::error_code(errno, std::system_category());
        return nullptr;
    }
    return std::make_unique<UdpSocket>(std::move(s));
}

std::unique_ptr<IWakeup> UdpDatagrams::MakeWakeup() {
    UniqueFd fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!fd.valid()) return nullptr;
    return std::make_unique<EventWakeup>(std::move(fd));
}

UdpDatagrams::UdpDatagrams(NetworkChanges* changes)
    : interfaces_(ReadInterfaces),
      ownChanges_(changes ? nullptr : std::make_unique<NetlinkChanges>()),
      changes_(changes ? changes : ownChanges_.get()),
      listening_(changes_->Listen([this] { interfaces_.Invalidate(); })) {}

bool UdpDatagrams::IsLanBroadcast(const Datagram& datagram) {
    // The notice of a new address is queued before any datagram can leave from it: delivered
    // now, the judgement below sees the address.
    changes_->Pump();
    return interfaces_.IsLanBroadcast(datagram);
}

}  // namespace vorta::platform
