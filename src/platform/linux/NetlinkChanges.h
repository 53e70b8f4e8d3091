#pragma once
#include "platform/linux/Guard.h"
// The kernel's notices of links, IPv4 addresses and IPv4 routes on one rtnetlink socket, read on
// a thread of its own that sleeps in poll() between them.

#include <mutex>
#include <thread>

#include "platform/NetworkChanges.h"
#include "platform/linux/UniqueFd.h"

namespace vorta::platform {

class NetlinkChanges final : public NetworkChanges {
public:
    // Without a socket (no netlink here) nothing is watched and no thread runs.
    NetlinkChanges();
    ~NetlinkChanges() override;

    void Pump() override;

private:
    void Run(std::stop_token stop);

    UniqueFd socket_;
    UniqueFd stop_;        // an eventfd that ends the thread's poll
    std::mutex readLock_;  // one reader of the socket, and its delivery, at a time
    std::jthread thread_;
};

}  // namespace vorta::platform
