#include "platform/linux/NetlinkChanges.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdint>

#include "platform/ThreadName.h"

namespace vorta::platform {
namespace {

UniqueFd OpenWatch() {
    UniqueFd s(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE));
    if (!s.valid()) return s;
    // A burst of changes (an interface going away takes its addresses and routes) must not
    // overflow the queue before the thread reads it.
    const int size = 1 << 20;
    ::setsockopt(s.get(), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    sockaddr_nl addr{};
    addr.nl_family = AF_NETLINK;
    addr.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE;
    if (::bind(s.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0)
        return UniqueFd();
    return s;
}

}  // namespace

NetlinkChanges::NetlinkChanges() : socket_(OpenWatch()) {
    if (!socket_.valid()) return;
    stop_ = UniqueFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!stop_.valid()) {
        socket_.reset();
        return;
    }
    // The thread may start before the program's signal handling blocks the signals it waits
    // for: it is born with every signal blocked, so that none is ever delivered to it.
    sigset_t all, old;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &old);
    thread_ = std::jthread([this](std::stop_token stop) {
        NameThisThread("vorta-netwatch");
        Run(stop);
    });
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

NetlinkChanges::~NetlinkChanges() {
    if (!thread_.joinable()) return;
    thread_.request_stop();
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(stop_.get(), &one, sizeof one);
    thread_.join();
}

void NetlinkChanges::Pump() {
    if (!socket_.valid()) return;
    // Held through the delivery: a Pump that finds the queue empty returns only once the
    // thread's delivery of what it read has ended.
    std::lock_guard guard(readLock_);
    bool came = false;
    {
        alignas(nlmsghdr) char buffer[8192];
        for (;;) {
            const auto n = ::recv(socket_.get(), buffer, sizeof buffer, MSG_DONTWAIT);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno == ENOBUFS) {
                came = true;  // notices were lost, which says as much
                continue;
            }
            if (n <= 0) break;
            came = true;
        }
    }
    if (came) Notify();
}

void NetlinkChanges::Run(std::stop_token stop) {
    pollfd fds[2] = {{socket_.get(), POLLIN, 0}, {stop_.get(), POLLIN, 0}};
    while (!stop.stop_requested()) {
        fds[0].revents = fds[1].revents = 0;
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0) return;
        // POLLERR is a lost batch (ENOBUFS), which Pump reads and clears.
        if (fds[0].revents & POLLNVAL) return;
        Pump();
    }
}

}  // namespace vorta::platform
