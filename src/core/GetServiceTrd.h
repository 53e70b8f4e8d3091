#pragma once
// Fetches the domain list once, a second after it starts, and tells the controller.

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "core/Logon.h"

namespace vorta {

class TGetServiceTrd {
public:
    // `post(errorText, failed)`: failed false means the session holds the new list.
    using Post = std::function<void(std::string errorText, bool failed)>;
    static constexpr std::chrono::milliseconds kDelay{1000};

    // `generation`: the session's when the thread was started (a logoff since drops the list).
    TGetServiceTrd(std::string serviceUrl, std::string userName, std::string password,
                   LogonSession& session, std::uint64_t generation, Post post,
                   std::chrono::milliseconds delay = kDelay);
    void RequestStop() { thread_.request_stop(); }
    bool Finished() const { return finished_; }
    void Join() {
        if (thread_.joinable()) thread_.join();
    }

private:
    std::atomic<bool> finished_{false};
    std::jthread thread_;
};

}  // namespace vorta
