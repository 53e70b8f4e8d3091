#pragma once
// The controller's own thread: events posted by any thread and timers, both delivered on the
// thread that runs the loop. Background threads never call into the front end directly.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace vorta {

// Event ids keep the window message numbers of the design.
enum class EventId : unsigned {
    Invoke = 0,            // run `call` on the loop's thread
    ClientStart = 0x1400,  // wParam != 0: service mode
    ClientShow = 0x1401,   // another process asks the client to show itself
    LogonDone = 0x1404,    // the auto logon succeeded
    ServiceList = 0x1405,  // lParam -1: `text` holds the error; else the list is ready
};

struct ClientEvent {
    ClientEvent() = default;
    explicit ClientEvent(EventId id, std::intptr_t wParam = 0, std::intptr_t lParam = 0,
                         std::string text = {})
        : id(id), wParam(wParam), lParam(lParam), text(std::move(text)) {}
    explicit ClientEvent(std::function<void()> call) : call(std::move(call)) {}

    EventId id = EventId::Invoke;
    std::intptr_t wParam = 0;
    std::intptr_t lParam = 0;
    std::string text;
    std::function<void()> call;
};

class EventLoop {
public:
    using Clock = std::chrono::steady_clock;
    using Handler = std::function<void(const ClientEvent&)>;

    void SetHandler(Handler handler) { handler_ = std::move(handler); }
    // Told of every exception that leaves an event or a timer; the loop carries on.
    void SetFailureHandler(std::function<void(const std::string& what)> onFailure) {
        onFailure_ = std::move(onFailure);
    }
    // Called on the loop's thread after each round of deliveries that ran anything.
    void SetAfterDelivery(std::function<void()> after) { afterDelivery_ = std::move(after); }
    // Called (from the posting thread) after each post, for a loop driven from outside.
    void SetWakeup(std::function<void()> wakeup);
    // Called (from the quitting thread) by Quit, for a loop driven from outside, whose owner
    // then ends its own loop.
    void SetQuitHandler(std::function<void()> onQuit);

    // Any thread.
    void Post(ClientEvent event);

    // Timers tick on the loop's thread every `interval` while enabled.
    int AddTimer(std::chrono::milliseconds interval, std::function<void()> onTick, bool enabled);
    void SetTimerEnabled(int timer, bool enabled);
    bool TimerEnabled(int timer) const;

    // Delivers the pending events and the due timers; returns when the next timer is due.
    std::optional<Clock::time_point> ProcessDue();
    // Runs until `stop` is requested or Quit is called.
    void Run(std::stop_token stop);
    void Quit();

private:
    struct Timer {
        std::chrono::milliseconds interval;
        std::function<void()> onTick;
        bool enabled;
        Clock::time_point due;
    };

    mutable std::mutex lock_;
    std::condition_variable_any changed_;
    std::deque<ClientEvent> queue_;
    bool quit_ = false;
    std::function<void()> wakeup_;
    std::function<void()> onQuit_;
    // Runs `work`, handing any exception to the failure handler.
    void Guarded(const std::function<void()>& work);

    Handler handler_;
    std::function<void(const std::string&)> onFailure_;
    std::function<void()> afterDelivery_;
    std::vector<Timer> timers_;  // touched only on the loop's thread
};

}  // namespace vorta
