#include "platform/ChannelWorkers.h"

#include "platform/ThreadName.h"

namespace vorta::platform {

void ChannelWorkers::Reap() {
    workers_.remove_if([](const Worker& worker) { return worker.done.load(); });
}

bool ChannelWorkers::TryStart(std::function<void()> work) {
    Reap();
    if (workers_.size() >= limit_) return false;
    Worker& worker = workers_.emplace_back();
    worker.thread = std::jthread([&done = worker.done, work = std::move(work)] {
        NameThisThread("vorta-request");
        work();
        done = true;
    });
    return true;
}

void ChannelWorkers::JoinAll() {
    workers_.clear();
}

}  // namespace vorta::platform
