#include "core/EventLoop.h"

#include <exception>

namespace vorta {

void EventLoop::SetWakeup(std::function<void()> wakeup) {
    std::lock_guard guard(lock_);
    wakeup_ = std::move(wakeup);
}

void EventLoop::SetQuitHandler(std::function<void()> onQuit) {
    std::lock_guard guard(lock_);
    onQuit_ = std::move(onQuit);
}

void EventLoop::Post(ClientEvent event) {
    std::function<void()> wakeup;
    {
        std::lock_guard guard(lock_);
        queue_.push_back(std::move(event));
        wakeup = wakeup_;
    }
    changed_.notify_all();
    if (wakeup) wakeup();
}

int EventLoop::AddTimer(std::chrono::milliseconds interval, std::function<void()> onTick,
                        bool enabled) {
    timers_.push_back(Timer{interval, std::move(onTick), enabled, Clock::now() + interval});
    return static_cast<int>(timers_.size()) - 1;
}

void EventLoop::SetTimerEnabled(int timer, bool enabled) {
    Timer& t = timers_.at(static_cast<std::size_t>(timer));
    if (enabled && !t.enabled) t.due = Clock::now() + t.interval;
    t.enabled = enabled;
}

bool EventLoop::TimerEnabled(int timer) const {
    return timers_.at(static_cast<std::size_t>(timer)).enabled;
}

std::optional<EventLoop::Clock::time_point> EventLoop::ProcessDue() {
    bool ran = false;
    for (;;) {
        ClientEvent event;
        {
            std::lock_guard guard(lock_);
            if (queue_.empty()) break;
            event = std::move(queue_.front());
            queue_.pop_front();
        }
        ran = true;
        Guarded([&] {
            if (event.id == EventId::Invoke) {
                if (event.call) event.call();
            } else if (handler_) {
                handler_(event);
            }
        });
    }
    std::optional<Clock::time_point> next;
    for (std::size_t i = 0; i < timers_.size(); ++i) {
        if (!timers_[i].enabled) continue;
        const auto now = Clock::now();
        if (timers_[i].due <= now) {
            ran = true;
            timers_[i].due = now + timers_[i].interval;
            Guarded(timers_[i].onTick);  // may change timers_' flags, never its size
        }
        if (timers_[i].enabled && (!next || timers_[i].due < *next)) next = timers_[i].due;
    }
    if (ran && afterDelivery_) Guarded(afterDelivery_);
    return next;
}

void EventLoop::Run(std::stop_token stop) {
    for (;;) {
        const auto next = ProcessDue();
        std::unique_lock guard(lock_);
        const auto ready = [this] { return quit_ || !queue_.empty(); };
        if (next)
            changed_.wait_until(guard, stop, *next, ready);
        else
            changed_.wait(guard, stop, ready);
        if (quit_ || stop.stop_requested()) return;
    }
}

void EventLoop::Guarded(const std::function<void()>& work) {
    std::string what;
    try {
        work();
        return;
    } catch (const std::exception& e) {
        what = e.what();
    } catch (...) {
        what = "an unknown error";
    }
    // No fault ends the client: the failure is told, and the next event runs.
    try {
        if (onFailure_) onFailure_(what);
    } catch (...) {
    }
}

void EventLoop::Quit() {
    std::function<void()> onQuit;
    {
        std::lock_guard guard(lock_);
        quit_ = true;
        onQuit = onQuit_;
    }
    changed_.notify_all();
    if (onQuit) onQuit();
}

}  // namespace vorta
