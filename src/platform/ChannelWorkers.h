#pragma once
// The connections an instance channel serves at once, each on a thread of its own. Only the
// channel's accepting thread starts and joins them.

#include <atomic>
#include <cstddef>
#include <functional>
#include <list>
#include <thread>

namespace vorta::platform {

class ChannelWorkers {
public:
    explicit ChannelWorkers(std::size_t limit) : limit_(limit) {}
    ~ChannelWorkers() { JoinAll(); }
    ChannelWorkers(const ChannelWorkers&) = delete;
    ChannelWorkers& operator=(const ChannelWorkers&) = delete;

    // Runs `work` on a thread of its own; false, with nothing started, while `limit` still run.
    // `work` itself is destroyed only once its worker counts as done.
    bool TryStart(std::function<void()> work);
    // Waits for every work started to end.
    void JoinAll();

private:
    struct Worker {
        std::atomic<bool> done{false};
        std::jthread thread;
    };
    // Joins the threads whose work has ended.
    void Reap();

    std::size_t limit_;
    std::list<Worker> workers_;  // a list: each thread sets its own `done` in place
};

}  // namespace vorta::platform
