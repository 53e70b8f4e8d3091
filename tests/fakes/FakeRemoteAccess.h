#pragma once
// A remote access layer in memory, recording every call in order. A line's keep thread may
// call it while the test does: the calls take a lock, and the connections are set through
// SetConnections.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "platform/RemoteAccess.h"

namespace vorta::test {

class FakeRemoteAccess : public platform::IRemoteAccess {
public:
    std::vector<std::string> entries = {"isp-a", "isp-b"};
    std::string storedUser = "stored-user";
    int paramsResult = 0;
    int dialResult = 0;
    platform::RasHandle dialHandle = 42;
    int pollsUntilGone = 0;  // status answers before the link is gone
    std::vector<std::string> calls;
    platform::RasDialParams dialed;
    Notifier notifier;
    platform::RasCounters counters;
    std::atomic<int> dials{0};  // readable while a keep thread dials
    std::chrono::milliseconds dialTime{0};
    std::atomic<int> dialsFinished{0};

    // The connected links, until hung up.
    void SetConnections(std::vector<platform::RasConnection> value) {
        std::lock_guard guard(lock_);
        connections_ = std::move(value);
    }

    int EnumEntries(std::vector<std::string>& out) override {
        out = entries;
        return 0;
    }
    int GetEntryDialParams(platform::RasDialParams& params) override {
        std::lock_guard guard(lock_);
        calls.push_back("params");
        params.userName = storedUser;
        params.password = "stored-password";
        return paramsResult;
    }
    // Takes dialTime whether or not a stop comes: callers must wait for a dial that ignores it.
    int Dial(const platform::RasDialParams& params, platform::RasHandle& handle, Notifier n,
             std::stop_token) override {
        ++dials;
        {
            std::lock_guard guard(lock_);
            calls.push_back("dial");
            dialed = params;
            handle = dialHandle;
            notifier = std::move(n);
        }
        std::this_thread::sleep_for(dialTime);
        ++dialsFinished;
        return dialResult;
    }
    int HangUp(platform::RasHandle handle) override {
        std::lock_guard guard(lock_);
        calls.push_back("hangup " + std::to_string(handle));
        std::erase_if(connections_, [&](const auto& c) { return c.handle == handle; });
        return handle == 0 ? platform::kRasInvalidHandle : 0;
    }
    int GetConnectStatus(platform::RasHandle handle, int& state) override {
        std::lock_guard guard(lock_);
        calls.push_back("status");
        const bool listed = std::any_of(connections_.begin(), connections_.end(),
                                        [&](const auto& c) { return c.handle == handle; });
        if (pollsUntilGone-- > 0 || listed) {
            state = platform::kRasStateConnected;
            return 0;
        }
        return platform::kRasInvalidHandle;
    }
    int EnumConnections(std::vector<platform::RasConnection>& out) override {
        std::lock_guard guard(lock_);
        out = connections_;
        return 0;
    }
    int GetProjection(platform::RasHandle, std::string& client, std::string& server) override {
        client = "192.0.2.77";
        server = "192.0.2.1";
        return 0;
    }
    std::string ErrorText(int code) override { return "error " + std::to_string(code); }
    bool ReadCounters(platform::RasHandle, platform::RasCounters& out) override {
        out = counters;
        return true;
    }

private:
    std::mutex lock_;
    std::vector<platform::RasConnection> connections_;
};

}  // namespace vorta::test
