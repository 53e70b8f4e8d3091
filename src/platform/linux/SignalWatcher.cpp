#include "platform/linux/SignalWatcher.h"
#include "platform/ThreadName.h"

#include <pthread.h>

namespace vorta::platform {

SignalWatcher::SignalWatcher(std::function<void()> onStop) {
    sigemptyset(&set_);
    sigaddset(&set_, SIGINT);
    sigaddset(&set_, SIGTERM);
    sigaddset(&set_, SIGUSR1);  // the watcher's own wake-up when it ends
    pthread_sigmask(SIG_BLOCK, &set_, nullptr);
    thread_ = std::jthread([this, onStop = std::move(onStop)](std::stop_token stop) {
        NameThisThread("vorta-signals");
        while (!stop.stop_requested()) {
            int sig = 0;
            if (sigwait(&set_, &sig) != 0 || sig == SIGUSR1) continue;
            onStop();
        }
    });
}

SignalWatcher::~SignalWatcher() {
    thread_.request_stop();
    pthread_kill(thread_.native_handle(), SIGUSR1);
}

}  // namespace vorta::platform
