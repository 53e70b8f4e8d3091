#pragma once
// One client run, the same for every front end: it claims the data dir's instance channel
// (or asks the client that holds it to show itself), starts the client, answers the channel's
// requests through the dispatcher, and closes everything in order.

#include <memory>
#include <string>

#include "core/Client.h"
#include "core/EventLoop.h"
#include "host/ChannelDispatcher.h"
#include "host/HostPlatform.h"

namespace vorta::host {

class ClientHost {
public:
    // `serviceSwitched`: see ClientHooks.
    ClientHost(HostPlatform& platform, ClientConfig config, IClientView& view, bool serviceMode,
               std::function<void(bool install)> serviceSwitched = {});
    // Stop() first.
    ~ClientHost();
    ClientHost(const ClientHost&) = delete;
    ClientHost& operator=(const ClientHost&) = delete;

    enum class Outcome {
        Started,     // this process is the client of the data dir
        OtherShown,  // another client holds it and was asked to show itself
        Refused,     // another client holds it: `refusal` says which and why this ends
    };
    // Claims the data dir and starts the client. A desktop start beside a running client asks
    // it to show itself; a service never starts beside one.
    Outcome Start(std::string& refusal);
    // Runs the client's loop on this thread until the client exits or the OS asks to stop
    // (a front end driving the loop itself uses Loop().ProcessDue instead).
    void Run();
    // Ends Run from any thread.
    void Quit() { loop_.Quit(); }
    // Closes the channel's waiting requests and shuts the client down. Runs once.
    void Stop();

    TClient& Client() { return client_; }
    ViewPublisher& Publisher() { return publisher_; }
    EventLoop& Loop() { return loop_; }

private:
    // Why a service start is refused while the channel is taken: who holds it.
    std::string ServiceRefusal();

    HostPlatform& platform_;
    const bool serviceMode_;
    EventLoop loop_;
    // Passes the controller's calls on to `view` and feeds the channel's watchers.
    ViewPublisher publisher_;
    // Made before any thread of the run, which then inherits the blocked stop signals.
    std::unique_ptr<platform::IStopRequests> stopRequests_;
    TClient client_;
    ChannelDispatcher dispatcher_;
    bool stopped_ = false;
};

}  // namespace vorta::host
