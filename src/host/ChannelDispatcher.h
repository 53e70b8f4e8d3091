#pragma once
// The running client's side of the instance channel: decodes each request, runs its work on the
// client's loop and encodes the answer. Requests arrive on the channel's threads, several at
// once: the client is touched only on its loop, where they queue as events, and each request
// waits for its own work alone.

#include <atomic>
#include <functional>
#include <string>

#include "core/Client.h"
#include "core/EventLoop.h"
#include "core/ViewPublisher.h"
#include "platform/InstanceChannel.h"

namespace vorta::host {

class ChannelDispatcher {
public:
    ChannelDispatcher(TClient& client, EventLoop& loop, ViewPublisher& publisher, bool serviceMode)
        : client_(client), loop_(loop), publisher_(publisher), serviceMode_(serviceMode) {}

    // Runs on a channel thread, on several at once. Work for the client goes to its loop; the
    // request waits for it until it is done, or drops it when the asker withdraws it before it
    // started. A failure is answered and reported to the client, which goes on.
    std::string Handle(const std::string& text, platform::IRequestContext& context);
    // From now on requests are answered "closing" instead of waiting for the loop, and requests
    // whose work started but can no longer finish are answered as such.
    void Close() { closing_ = true; }

private:
    // Called once with the encoded answer, on the loop's thread, at once or when the work ends.
    using Reply = std::function<void(std::string answer)>;
    std::string Dispatch(const std::string& text, platform::IRequestContext& context);
    std::string OnLoop(platform::IRequestContext& context, std::function<void(Reply)> work);
    // Work that answers at once.
    std::string OnLoopNow(platform::IRequestContext& context, std::function<std::string()> work);
    // Streams the view to the asker until it hangs up or the client closes.
    std::string Watch(platform::IRequestContext& context);

    TClient& client_;
    EventLoop& loop_;
    ViewPublisher& publisher_;
    bool serviceMode_;
    std::atomic<bool> closing_{false};
};

}  // namespace vorta::host
