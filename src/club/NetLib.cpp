#include "club/NetLib.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace vorta {

std::vector<std::string> ResolveHost(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (host.empty() || ::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 ||
        found == nullptr)
        throw std::runtime_error("Host Lookup - Could Not Find Host Entry");
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owned(found, &::freeaddrinfo);
    std::vector<std::string> addresses;
    for (const addrinfo* ai = found; ai != nullptr; ai = ai->ai_next) {
        char text[INET_ADDRSTRLEN] = {};
        const auto* in = reinterpret_cast<const sockaddr_in*>(ai->ai_addr);
        if (::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) == nullptr) continue;
        if (std::find(addresses.begin(), addresses.end(), text) == addresses.end())
            addresses.emplace_back(text);
    }
    if (addresses.empty()) throw std::runtime_error("Host Lookup - Could Not Find Host Entry");
    return addresses;
}

Socket CreateUdpSocket() {
    const Socket s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (s < 0) return kNoSocket;
    const int on = 1;
    ::setsockopt(s, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    ::setsockopt(s, SOL_SOCKET, SO_DONTROUTE, &on, sizeof on);
    return s;
}

Socket CreateBoundUdpSocket(std::uint16_t port) {
    const Socket s = CreateUdpSocket();
    if (s == kNoSocket) return kNoSocket;
    const int on = 1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::setsockopt(s, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0 ||
        ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        const int error = errno;  // the caller reports why
        ::close(s);
        errno = error;
        return kNoSocket;
    }
    return s;
}

void CloseSocket(Socket socket) {
    if (socket != kNoSocket) ::close(socket);
}

namespace {

// The interfaces a limited broadcast leaves through: up, broadcast-capable, not loopback.
std::vector<unsigned> BroadcastInterfaces() {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return {};
    std::unique_ptr<ifaddrs, decltype(&::freeifaddrs)> owned(list, &::freeifaddrs);
    std::vector<unsigned> indexes;
    for (const ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET) continue;
        if ((a->ifa_flags & IFF_UP) == 0 || (a->ifa_flags & IFF_BROADCAST) == 0 ||
            (a->ifa_flags & IFF_LOOPBACK) != 0)
            continue;
        const unsigned index = ::if_nametoindex(a->ifa_name);
        if (index != 0 && std::find(indexes.begin(), indexes.end(), index) == indexes.end())
            indexes.push_back(index);
    }
    return indexes;
}

// One IPv4 address of an interface, in host byte order; `broadcast` is the configured one, 0
// when there is none.
struct Subnet {
    std::uint32_t address = 0;
    std::uint32_t mask = 0;
    std::uint32_t broadcast = 0;
    bool Holds(std::uint32_t other) const { return (other & mask) == (address & mask); }
};

std::uint32_t HostOrder(const sockaddr* addr) {
    return ntohl(reinterpret_cast<const sockaddr_in*>(addr)->sin_addr.s_addr);
}

// The addresses of the interface `index`, labelled ones ("eth0:1") included.
std::vector<Subnet> InterfaceSubnets(unsigned index) {
    char name[IF_NAMESIZE] = {};
    if (index == 0 || ::if_indextoname(index, name) == nullptr) return {};
    const std::size_t nameLength = std::strlen(name);
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return {};
    std::unique_ptr<ifaddrs, decltype(&::freeifaddrs)> owned(list, &::freeifaddrs);
    std::vector<Subnet> subnets;
    for (const ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET ||
            a->ifa_netmask == nullptr)
            continue;
        if (std::strncmp(a->ifa_name, name, nameLength) != 0 ||
            (a->ifa_name[nameLength] != '\0' && a->ifa_name[nameLength] != ':'))
            continue;
        Subnet subnet{HostOrder(a->ifa_addr), HostOrder(a->ifa_netmask), 0};
        if ((a->ifa_flags & IFF_BROADCAST) != 0 && a->ifa_broadaddr != nullptr &&
            a->ifa_broadaddr->sa_family == AF_INET)
            subnet.broadcast = HostOrder(a->ifa_broadaddr);
        subnets.push_back(subnet);
    }
    return subnets;
}

sockaddr_in Address(in_addr_t hostOrder, std::uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(hostOrder);
    return addr;
}

int SendTo(Socket socket, const sockaddr_in& addr, const void* data, std::size_t length) {
    return static_cast<int>(::sendto(socket, data, length, MSG_NOSIGNAL,
                                     reinterpret_cast<const sockaddr*>(&addr), sizeof addr));
}

}  // namespace

int SendBroadcast(Socket socket, std::uint16_t port, const void* data, std::size_t length) {
    if (socket == kNoSocket) return -1;
    sockaddr_in addr = Address(INADDR_BROADCAST, port);
    // With do-not-route on, Linux finds no route for the limited broadcast unless the outgoing
    // interface is named, so the datagram leaves through each broadcast-capable interface.
    const std::vector<unsigned> interfaces = BroadcastInterfaces();
    if (interfaces.empty()) return SendTo(socket, addr, data, length);
    int sent = -1;
    for (const unsigned index : interfaces) {
        iovec io{const_cast<void*>(data), length};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
        msghdr message{};
        message.msg_name = &addr;
        message.msg_namelen = sizeof addr;
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = IPPROTO_IP;
        header->cmsg_type = IP_PKTINFO;
        header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_ifindex = static_cast<int>(index);
        std::memcpy(CMSG_DATA(header), &info, sizeof info);
        const auto n = ::sendmsg(socket, &message, MSG_NOSIGNAL);
        if (n >= 0) sent = static_cast<int>(n);
    }
    return sent;
}

int SendDatagram(Socket socket, const std::string& to, std::uint16_t port, const void* data,
                 std::size_t length) {
    if (socket == kNoSocket) return -1;
    sockaddr_in addr = Address(INADDR_ANY, port);
    if (::inet_pton(AF_INET, to.c_str(), &addr.sin_addr) != 1) return -1;
    if (addr.sin_addr.s_addr == htonl(INADDR_BROADCAST))
        return SendBroadcast(socket, port, data, length);
    return SendTo(socket, addr, data, length);
}

int RecvWithTimeout(Socket socket, int timeoutSeconds, std::string& sender, std::size_t bufferSize,
                    char* buffer, int wakeFd) {
    pollfd fds[2] = {{socket, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    const int ready =
        ::poll(fds, wakeFd >= 0 ? 2 : 1, timeoutSeconds < 0 ? -1 : timeoutSeconds * 1000);
    if (ready <= 0 || (wakeFd >= 0 && fds[1].revents != 0) || (fds[0].revents & POLLIN) == 0)
        return 0;
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const auto n =
        ::recvfrom(socket, buffer, bufferSize, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n < 0) return -1;
    char text[INET_ADDRSTRLEN] = {};
    sender = ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text) ? text : "";
    return static_cast<int>(n);
}

Receipt ReceiveDatagram(Socket socket, std::chrono::milliseconds timeout, Datagram& datagram,
                        std::span<char> buffer, int wakeFd) {
    pollfd fds[2] = {{socket, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    const int wait =
        timeout.count() < 0 ? -1 : static_cast<int>(std::min<long long>(timeout.count(), INT_MAX));
    const int ready = ::poll(fds, wakeFd >= 0 ? 2 : 1, wait);
    if (ready <= 0 || (wakeFd >= 0 && fds[1].revents != 0) || (fds[0].revents & POLLIN) == 0)
        return Receipt::Nothing;
    sockaddr_in from{};
    iovec io{buffer.data(), buffer.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    // Not waiting: the kernel may have dropped what poll saw (a bad checksum), and a blocked
    // receive would no longer see `wakeFd`.
    const auto n = ::recvmsg(socket, &message, MSG_DONTWAIT);
    if (n < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? Receipt::Nothing
                                                                         : Receipt::Error;
    datagram = Datagram{};
    datagram.length = static_cast<std::size_t>(n);
    datagram.senderAddress = ntohl(from.sin_addr.s_addr);
    char text[INET_ADDRSTRLEN] = {};
    datagram.sender = ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text) ? text : "";
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level != IPPROTO_IP || header->cmsg_type != IP_PKTINFO) continue;
        in_pktinfo info{};
        std::memcpy(&info, CMSG_DATA(header), sizeof info);
        datagram.destination = ntohl(info.ipi_addr.s_addr);
        datagram.interfaceIndex = static_cast<unsigned>(info.ipi_ifindex);
    }
    return Receipt::Datagram;
}

bool IsLanBroadcast(const Datagram& datagram) {
    for (const Subnet& subnet : InterfaceSubnets(datagram.interfaceIndex)) {
        if (!subnet.Holds(datagram.senderAddress)) continue;
        if (datagram.destination == INADDR_BROADCAST) return true;
        // The kernel's own broadcast address of the subnet, whatever was configured; /31 and /32
        // subnets have none.
        if (subnet.mask < 0xFFFFFFFEu && datagram.destination == (subnet.address | ~subnet.mask))
            return true;
        if (subnet.broadcast != 0 && subnet.broadcast != subnet.address &&
            datagram.destination == subnet.broadcast)
            return true;
    }
    return false;
}

}  // namespace vorta
