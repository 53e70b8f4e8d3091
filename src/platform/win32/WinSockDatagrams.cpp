#include "platform/win32/WinSockDatagrams.h"

// winsock2.h before the others.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <mswsock.h>
#include <windows.h>
// clang-format on

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/NetworkTables.h"
#include "platform/win32/Ip4Interfaces.h"
#include "platform/win32/IpHelperChanges.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/UniqueSocket.h"

namespace vorta::platform {
namespace {

constexpr std::uint32_t kBroadcast = 0xFFFFFFFFu;

class EventWakeup final : public IWakeup {
public:
    explicit EventWakeup(UniqueHandle event) : event_(std::move(event)) {}
    void Wake() override { SetEvent(event_.get()); }
    HANDLE Event() const { return event_.get(); }

private:
    UniqueHandle event_;  // manual reset: once set, it stays set
};

sockaddr_in Address(std::uint32_t hostOrder, std::uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(hostOrder);
    return addr;
}

// Room for the one control record the sockets send and receive: the packet's addresses.
struct PacketInfoControl {
    alignas(WSACMSGHDR) char bytes[WSA_CMSG_SPACE(sizeof(IN_PKTINFO))] = {};
};

// A message of one buffer to or from `addr`, with room for the packet information.
WSAMSG Message(sockaddr_in& addr, WSABUF& part, PacketInfoControl& control) {
    WSAMSG message{};
    message.name = reinterpret_cast<SOCKADDR*>(&addr);
    message.namelen = sizeof addr;
    message.lpBuffers = &part;
    message.dwBufferCount = 1;
    message.Control = {sizeof control.bytes, control.bytes};
    return message;
}

// A blocking IPv4 UDP socket, not inherited by child processes, with the broadcast,
// do-not-route and packet-information options on.
UniqueSocket OpenSocket() {
    UniqueSocket s(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    if (!s.valid()) return s;
    SetHandleInformation(reinterpret_cast<HANDLE>(s.get()), HANDLE_FLAG_INHERIT, 0);
    u_long blocking = 0;
    ioctlsocket(s.get(), FIONBIO, &blocking);
    const BOOL on = TRUE;
    const auto* value = reinterpret_cast<const char*>(&on);
    setsockopt(s.get(), SOL_SOCKET, SO_BROADCAST, value, sizeof on);
    setsockopt(s.get(), SOL_SOCKET, SO_DONTROUTE, value, sizeof on);
    // Without this, an ICMP port unreachable for an earlier send fails the next receive.
    BOOL report = FALSE;
    DWORD returned = 0;
    WSAIoctl(s.get(), SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr,
             nullptr);
    return s;
}

LPFN_WSARECVMSG FindRecvMsg(SOCKET s) {
    GUID id = WSAID_WSARECVMSG;
    LPFN_WSARECVMSG found = nullptr;
    DWORD returned = 0;
    if (WSAIoctl(s, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof id, &found, sizeof found,
                 &returned, nullptr, nullptr) != 0)
        return nullptr;
    return found;
}

DWORD WaitMilliseconds(std::chrono::milliseconds timeout) {
    if (timeout.count() < 0) return WSA_INFINITE;
    return static_cast<DWORD>(std::min<long long>(timeout.count(), INFINITE - 1));
}

class UdpSocket final : public IUdpSocket {
public:
    UdpSocket(UniqueSocket s, UniqueHandle readable)
        : s_(std::move(s)), readable_(std::move(readable)), recvMsg_(FindRecvMsg(s_.get())) {}

    int SendBroadcast(std::uint16_t port, std::string_view data) override {
        sockaddr_in addr = Address(kBroadcast, port);
        // A limited broadcast leaves through one interface only unless each is named.
        int sent = -1;
        bool any = false;
        for (const Ip4Interface& entry : ListIp4Interfaces()) {
            if (!entry.broadcastCapable) continue;
            any = true;
            if (const int n = SendThrough(entry, addr, data); n >= 0) sent = n;
        }
        return any ? sent : Send(addr, data);
    }

    int SendTo(const std::string& to, std::uint16_t port, std::string_view data) override {
        const auto address = ParseIp4(to);
        if (!address) return -1;
        if (*address == htonl(kBroadcast)) return SendBroadcast(port, data);
        return Send(Address(ntohl(*address), port), data);
    }

    Receipt Receive(std::chrono::milliseconds timeout, Datagram& datagram, std::span<char> buffer,
                    const IWakeup* wakeup) override {
        const auto* event = dynamic_cast<const EventWakeup*>(wakeup);
        // The socket turns non-blocking while the event is selected; the receive then cannot
        // block on a datagram the stack has dropped since the event was set.
        WSAResetEvent(readable_.get());
        if (WSAEventSelect(s_.get(), readable_.get(), FD_READ) != 0) return Receipt::Nothing;
        // The wake-up first: a woken wait ends even with a datagram waiting.
        HANDLE events[2] = {event != nullptr ? event->Event() : nullptr, readable_.get()};
        const DWORD first = event != nullptr ? 0 : 1;
        const DWORD ready = WSAWaitForMultipleEvents(2 - first, events + first, FALSE,
                                                     WaitMilliseconds(timeout), FALSE);
        Receipt receipt = Receipt::Nothing;
        if (ready == WSA_WAIT_EVENT_0 + 1 - first) receipt = ReadOne(datagram, buffer);
        WSAEventSelect(s_.get(), nullptr, 0);
        u_long blocking = 0;
        ioctlsocket(s_.get(), FIONBIO, &blocking);
        return receipt;
    }

private:
    int Send(const sockaddr_in& addr, std::string_view data) {
        return ::sendto(s_.get(), data.data(),
                        static_cast<int>(std::min<std::size_t>(data.size(), INT_MAX)), 0,
                        reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    }

    // The datagram sent out of `entry`, with its first address as the source.
    int SendThrough(const Ip4Interface& entry, sockaddr_in& addr, std::string_view data) {
        WSABUF part{static_cast<ULONG>(data.size()), const_cast<char*>(data.data())};
        PacketInfoControl control;
        WSAMSG message = Message(addr, part, control);
        WSACMSGHDR* header = WSA_CMSG_FIRSTHDR(&message);
        header->cmsg_level = IPPROTO_IP;
        header->cmsg_type = IP_PKTINFO;
        header->cmsg_len = WSA_CMSG_LEN(sizeof(IN_PKTINFO));
        IN_PKTINFO info{};
        info.ipi_addr.s_addr = htonl(entry.subnets.front().address);
        info.ipi_ifindex = entry.index;
        std::memcpy(WSA_CMSG_DATA(header), &info, sizeof info);
        DWORD sent = 0;
        if (WSASendMsg(s_.get(), &message, 0, &sent, nullptr, nullptr) != 0) return -1;
        return static_cast<int>(sent);
    }

    Receipt ReadOne(Datagram& datagram, std::span<char> buffer) {
        sockaddr_in from{};
        WSABUF part{static_cast<ULONG>(std::min<std::size_t>(buffer.size(), ULONG_MAX)),
                    buffer.data()};
        PacketInfoControl control;
        WSAMSG message = Message(from, part, control);
        DWORD received = 0;
        int failed = 0;
        if (recvMsg_ != nullptr) {
            failed = recvMsg_(s_.get(), &message, &received, nullptr, nullptr);
        } else {
            int length = sizeof from;
            const int n =
                ::recvfrom(s_.get(), part.buf, static_cast<int>(std::min<ULONG>(part.len, INT_MAX)),
                           0, reinterpret_cast<sockaddr*>(&from), &length);
            failed = n < 0;
            received = n < 0 ? 0 : static_cast<DWORD>(n);
            message.Control.len = 0;
        }
        if (failed != 0) {
            const int error = WSAGetLastError();
            if (error == WSAEMSGSIZE) {
                received = part.len;  // cut at the buffer's size, as on other systems
            } else {
                return error == WSAEWOULDBLOCK || error == WSAECONNRESET || error == WSAEINTR
                           ? Receipt::Nothing
                           : Receipt::Error;
            }
        }
        datagram = Datagram{};
        datagram.length = received;
        datagram.senderAddress = ntohl(from.sin_addr.s_addr);
        datagram.sender = Ip4ToText(from.sin_addr.s_addr);
        if (message.Control.len == 0) return Receipt::Datagram;
        for (WSACMSGHDR* header = WSA_CMSG_FIRSTHDR(&message); header != nullptr;
             header = WSA_CMSG_NXTHDR(&message, header)) {
            if (header->cmsg_level != IPPROTO_IP || header->cmsg_type != IP_PKTINFO) continue;
            IN_PKTINFO info{};
            std::memcpy(&info, WSA_CMSG_DATA(header), sizeof info);
            datagram.destination = ntohl(info.ipi_addr.s_addr);
            datagram.interfaceIndex = info.ipi_ifindex;
        }
        return Receipt::Datagram;
    }

    UniqueSocket s_;
    UniqueHandle readable_;  // set by WinSock when a datagram waits
    LPFN_WSARECVMSG recvMsg_;
};

std::unique_ptr<IUdpSocket> MakeSocket(UniqueSocket s) {
    UniqueHandle readable(WSACreateEvent());
    if (!readable) return nullptr;
    return std::make_unique<UdpSocket>(std::move(s), std::move(readable));
}

}  // namespace

WinSockDatagrams::WinSockDatagrams(NetworkChanges* changes)
    : interfaces_(ListIp4Interfaces),
      ownChanges_(changes ? nullptr : std::make_unique<IpHelperChanges>()),
      changes_(changes ? changes : ownChanges_.get()),
      listening_(changes_->Listen([this] { interfaces_.Invalidate(); })) {}

std::unique_ptr<IUdpSocket> WinSockDatagrams::Open() {
    UniqueSocket s = OpenSocket();
    if (!s.valid()) return nullptr;
    return MakeSocket(std::move(s));
}

std::unique_ptr<IUdpSocket> WinSockDatagrams::Bind(std::uint16_t port, std::error_code& error) {
    error.clear();
    UniqueSocket s = OpenSocket();
    const BOOL on = TRUE;
    const auto* value = reinterpret_cast<const char*>(&on);
    // No other socket may take the port over while this one holds it.
    if (s.valid()) setsockopt(s.get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, value, sizeof on);
    const sockaddr_in addr = Address(INADDR_ANY, port);
    if (!s.valid() || setsockopt(s.get(), IPPROTO_IP, IP_PKTINFO, value, sizeof on) != 0 ||
        ::bind(s.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        error = std::error_code(WSAGetLastError(), std::system_category());
        return nullptr;
    }
    auto made = MakeSocket(std::move(s));
    if (!made) error = std::error_code(static_cast<int>(GetLastError()), std::system_category());
    return made;
}

std::unique_ptr<IWakeup> WinSockDatagrams::MakeWakeup() {
    UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event) return nullptr;
    return std::make_unique<EventWakeup>(std::move(event));
}

bool WinSockDatagrams::IsLanBroadcast(const Datagram& datagram) {
    changes_->Pump();
    return interfaces_.IsLanBroadcast(datagram);
}

}  // namespace vorta::platform
