#pragma once
// The running client's side of the instance channel: each request other processes send (show,
// identify, status, lines, config, logon, logoff, domains) and its wire format.

#include <atomic>
#include <string>
#include <vector>

#include "core/Client.h"
#include "core/EventLoop.h"
#include "platform/InstanceChannel.h"

namespace vorta::app {

inline constexpr const char* kRequestLines = "LINES";
inline constexpr const char* kRequestConfig = "CONFIG";
inline constexpr const char* kRequestLogon = "LOGON";
inline constexpr const char* kRequestLogoff = "LOGOFF";
inline constexpr const char* kRequestDomains = "DOMAINS";
inline constexpr const char* kRequestDomainsJson = "DOMAINS JSON";

// A request of words: the name, then each argument after a tab.
std::string EncodeRequest(const std::string& name, const std::vector<std::string>& args);
std::vector<std::string> DecodeArguments(const std::string& request);
// Command answers carry the exit code on their first line.
std::string EncodeOutcome(const CommandOutcome& outcome);
CommandOutcome DecodeOutcome(const std::string& reply);

class ChannelRequests {
public:
    ChannelRequests(TClient& client, EventLoop& loop, bool serviceMode)
        : client_(client), loop_(loop), serviceMode_(serviceMode) {}

    // Runs on the channel's thread. Work for the client goes to its loop; the request waits for
    // it until it is done, or drops it when the asker withdraws it before it started.
    std::string Handle(const std::string& request, platform::IRequestContext& context);
    // From now on requests are answered "closing" instead of waiting for the loop.
    void Close() { closing_ = true; }

private:
    // Gives the request's answer; called once, on any thread.
    using Reply = std::function<void(std::string answer)>;
    std::string OnLoop(platform::IRequestContext& context, std::function<std::string()> work);
    // `work` runs on the loop's thread and may reply later, once its exchange is done.
    std::string OnLoopAsync(platform::IRequestContext& context, std::function<void(Reply)> work);

    TClient& client_;
    EventLoop& loop_;
    bool serviceMode_;
    std::atomic<bool> closing_{false};
};

}  // namespace vorta::app
