#include "ui/win32/LoopDriver.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <iostream>

namespace vorta::win32ui {
namespace {

constexpr UINT kWake = WM_APP + 1;
constexpr UINT kQuit = WM_APP + 2;
constexpr UINT kRun = WM_APP + 3;
constexpr UINT_PTR kNextTimer = 1;

}  // namespace

LoopDriver::LoopDriver(EventLoop& loop)
    : loop_(loop), window_([this](UINT m, WPARAM w, LPARAM l) { return OnMessage(m, w, l); }) {
    // Both callbacks may run on any thread: they only post to the window of this thread. A burst
    // of posts wakes the loop once.
    HWND target = window_.Handle();
    loop_.SetWakeup([this, target] {
        if (!wakePosted_.exchange(true)) PostMessageW(target, kWake, 0, 0);
    });
    loop_.SetQuitHandler([target] { PostMessageW(target, kQuit, 0, 0); });
    wakePosted_ = true;
    PostMessageW(target, kWake, 0, 0);
}

LoopDriver::~LoopDriver() {
    loop_.SetWakeup({});
    loop_.SetQuitHandler({});
}

bool LoopDriver::OnMessage(UINT message, WPARAM wParam, LPARAM) {
    if (message == kWake) {
        wakePosted_ = false;
        Process();
        return true;
    }
    if (message == WM_TIMER && wParam == kNextTimer) {
        KillTimer(window_.Handle(), kNextTimer);
        Process();
        return true;
    }
    if (message == kQuit) {
        PostQuitMessage(0);
        return true;
    }
    return false;
}

void LoopDriver::Process() {
    if (processing_) {
        again_ = true;
        return;
    }
    processing_ = true;
    std::optional<EventLoop::Clock::time_point> due;
    do {
        again_ = false;
        due = loop_.ProcessDue();
    } while (again_);
    processing_ = false;
    if (!due) {
        KillTimer(window_.Handle(), kNextTimer);
        return;
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*due - EventLoop::Clock::now());
    // SetTimer takes at least USER_TIMER_MINIMUM; an earlier due time waits that long.
    SetTimer(window_.Handle(), kNextTimer,
             static_cast<UINT>(std::clamp<std::chrono::milliseconds::rep>(
                 wait.count(), USER_TIMER_MINIMUM, 0x7FFFFFFF)),
             nullptr);
}

WindowPost::WindowPost()
    : window_([this](UINT m, WPARAM w, LPARAM l) { return OnMessage(m, w, l); }) {}

void WindowPost::operator()(std::function<void()> call) {
    {
        const std::lock_guard hold(lock_);
        calls_.push_back(std::move(call));
    }
    PostMessageW(window_.Handle(), kRun, 0, 0);
}

bool WindowPost::OnMessage(UINT message, WPARAM, LPARAM) {
    if (message != kRun) return false;
    std::function<void()> call;
    {
        const std::lock_guard hold(lock_);
        if (calls_.empty()) return true;
        call = std::move(calls_.front());
        calls_.pop_front();
    }
    // Nothing leaves a window procedure; the window carries on.
    try {
        call();
    } catch (const std::exception& e) {
        std::cerr << "vorta: " << e.what() << "\n";
    }
    return true;
}

}  // namespace vorta::win32ui
