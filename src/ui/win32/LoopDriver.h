#pragma once
// Runs the controller's event loop on the window's thread: a post wakes it through a message to
// a window of that thread, a one-shot timer wakes it when the next controller timer is due, and
// the loop's Quit (the OS's stop request) ends the window's message loop.

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>

#include "core/EventLoop.h"
#include "ui/win32/MessageWindow.h"

namespace vorta::win32ui {

class LoopDriver {
public:
    explicit LoopDriver(EventLoop& loop);
    // Every posting thread has stopped before (the owner stops the client first).
    ~LoopDriver();
    LoopDriver(const LoopDriver&) = delete;
    LoopDriver& operator=(const LoopDriver&) = delete;

    // Delivers what is due now; a call from inside a delivery (a modal dialog's own loop) is
    // deferred until the outer one returns.
    void Process();

private:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    EventLoop& loop_;
    MessageWindow window_;
    std::atomic<bool> wakePosted_{false};
    bool processing_ = false;
    bool again_ = false;
};

// Runs calls of other threads on the window's thread, in order (the attached face's Post).
class WindowPost {
public:
    WindowPost();
    WindowPost(const WindowPost&) = delete;
    WindowPost& operator=(const WindowPost&) = delete;
    // Any thread.
    void operator()(std::function<void()> call);

private:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    MessageWindow window_;
    std::mutex lock_;
    std::deque<std::function<void()>> calls_;
};

}  // namespace vorta::win32ui
