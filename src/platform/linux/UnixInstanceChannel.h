#pragma once
#include "platform/linux/Guard.h"
// Single instance per data dir: an advisory lock on a file in the data dir marks the running
// client (the kernel drops it when the process dies, so a crash never blocks a new start), and
// a Unix-domain socket beside it, named after the main window class, carries requests to it.

#include <filesystem>
#include <thread>

#include "platform/InstanceChannel.h"
#include "platform/linux/UniqueFd.h"

namespace vorta::platform {

inline constexpr const char* kInstanceName = "Vorta客户端 V1.0";

class UnixInstanceChannel : public IInstanceChannel {
public:
    explicit UnixInstanceChannel(std::filesystem::path dataDir);
    ~UnixInstanceChannel() override;
    UnixInstanceChannel(const UnixInstanceChannel&) = delete;
    UnixInstanceChannel& operator=(const UnixInstanceChannel&) = delete;

    using IInstanceChannel::Claim;
    bool Claim(Handler handler) override;
    ChannelReply Request(const std::string& request, std::chrono::milliseconds timeout) override;
    ChannelReply::Outcome Watch(const std::string& request,
                                const std::function<bool(std::string_view line)>& onLine,
                                std::stop_token stop) override;
    bool Lock() override;
    void StopServing() override;

    std::filesystem::path SocketPath() const { return dir_ / kInstanceName; }
    std::filesystem::path LockPath() const { return dir_ / (std::string(kInstanceName) + ".lock"); }

private:
    // Accepts connections and serves each on a thread of its own until the channel stops.
    void Serve(const Handler& handler);
    // The data dir's lock file, locked; an invalid descriptor when another process holds it
    // (or this object already does).
    UniqueFd TakeLock();

    std::filesystem::path dir_;
    int lockFd_ = -1;
    int listenFd_ = -1;
    int wakeFd_ = -1;
    std::jthread server_;
};

}  // namespace vorta::platform
