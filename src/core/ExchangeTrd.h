#pragma once
// One exchange at a time beside the event loop: the work runs on this thread and what it hands
// back runs on the loop's thread, so that no click waits on the network or the HTTP lock.

#include <functional>
#include <memory>
#include <stop_token>
#include <thread>

#include "core/EventLoop.h"

namespace vorta {

class TExchangeTrd {
public:
    // Runs on the worker with its stop token; returns what the loop does with the result.
    using Work = std::function<std::function<void()>(std::stop_token)>;

    explicit TExchangeTrd(EventLoop& loop) : loop_(loop) {}
    ~TExchangeTrd() { Stop(); }
    TExchangeTrd(const TExchangeTrd&) = delete;
    TExchangeTrd& operator=(const TExchangeTrd&) = delete;

    // Loop's thread. False, and nothing started, while an earlier exchange is still out or
    // after Stop.
    bool Start(Work work);
    // Loop's thread: from Start until its result has been handled on the loop.
    bool Busy() const { return busy_; }
    // Abandons the exchange and joins the thread; a result not yet handled is dropped.
    void Stop();

private:
    EventLoop& loop_;
    bool busy_ = false;
    // Results posted to the loop run only while this lives: Stop ends it.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    std::jthread thread_;
};

}  // namespace vorta
