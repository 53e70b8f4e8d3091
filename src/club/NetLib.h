#pragma once
// UDP datagrams for the master/backup heartbeat, and host name resolution.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/Url.h"

namespace vorta {

// UDP sockets for the master/backup heartbeat. -1 stands for no socket.
using Socket = int;
inline constexpr Socket kNoSocket = -1;

// A blocking IPv4 UDP socket with the broadcast and do-not-route options on.
Socket CreateUdpSocket();
// The same, bound to `port` on every local address, telling each datagram's destination and
// arrival interface (IP_PKTINFO) to ReceiveDatagram; -1 with errno set when it cannot be bound.
Socket CreateBoundUdpSocket(std::uint16_t port);
inline Socket CreateSendSocket() {
    return CreateUdpSocket();
}
void CloseSocket(Socket socket);
inline constexpr const char* kLimitedBroadcast = "255.255.255.255";
// Sends to 255.255.255.255:`port` through every broadcast-capable interface that is up; the
// byte count when any interface took it, or -1 (at once for socket -1).
int SendBroadcast(Socket socket, std::uint16_t port, const void* data, std::size_t length);
// The same to the IPv4 address `to` (dotted text; 255.255.255.255 goes as SendBroadcast sends
// it); -1 also for an address that is not one.
int SendDatagram(Socket socket, const std::string& to, std::uint16_t port, const void* data,
                 std::size_t length);
// Waits up to `timeoutSeconds` (negative: no limit) for one datagram. The byte count with the
// sender's dotted address; 0 after the time-out, a failed wait or a signal on `wakeFd` (an
// eventfd the owner writes to stop the wait); -1 on a receive error.
int RecvWithTimeout(Socket socket, int timeoutSeconds, std::string& sender, std::size_t bufferSize,
                    char* buffer, int wakeFd = -1);

// One datagram as it reached this host. Addresses are IPv4 in host byte order.
struct Datagram {
    std::size_t length = 0;
    std::string sender;               // dotted text
    std::uint32_t senderAddress = 0;  // the same as a number
    std::uint32_t destination = 0;    // the IP header's destination
    unsigned interfaceIndex = 0;      // where it arrived; 0 when the kernel did not say
};
enum class Receipt { Datagram, Nothing, Error };
// Waits up to `timeout` (negative: no limit) for one datagram on a socket of
// CreateBoundUdpSocket; its bytes go to `buffer`, cut at its size. Nothing after the time-out, a
// failed wait or a signal on `wakeFd`; an empty datagram is a Datagram of length 0.
Receipt ReceiveDatagram(Socket socket, std::chrono::milliseconds timeout, Datagram& datagram,
                        std::span<char> buffer, int wakeFd = -1);
// True when `datagram` came as a broadcast from the LAN of the interface that took it: addressed
// to 255.255.255.255 or to the broadcast address of one of that interface's subnets, from a
// sender inside that subnet. The interfaces are read at the call.
bool IsLanBroadcast(const Datagram& datagram);

// Every IPv4 address of `host` as dotted text, in the resolver's order. Throws
// std::runtime_error "Host Lookup - Could Not Find Host Entry" when there is none.
std::vector<std::string> ResolveHost(const std::string& host);

}  // namespace vorta
