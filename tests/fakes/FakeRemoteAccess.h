#pragma once
// A remote access layer in memory, recording every call in order.

#include <atomic>
#include <chrono>
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

    int EnumEntries(std::vector<std::string>& out) override {
        out = entries;
        return 0;
    }
    int GetEntryDialParams(platform::RasDialParams& params) override {
        calls.push_back("params");
        params.userName = storedUser;
        params.password = "stored-password";
        return paramsResult;
    }
    int Dial(const platform::RasDialParams& params, platform::RasHandle& handle,
             Notifier n) override {
        ++dials;
        calls.push_back("dial");
        dialed = params;
        handle = dialHandle;
        notifier = std::move(n);
        std::this_thread::sleep_for(dialTime);
        ++dialsFinished;
        return dialResult;
    }
    int HangUp(platform::RasHandle handle) override {
        calls.push_back("hangup " + std::to_string(handle));
        return handle == 0 ? platform::kRasInvalidHandle : 0;
    }
    int GetConnectStatus(platform::RasHandle, int& state) override {
        calls.push_back("status");
        if (pollsUntilGone-- > 0) {
            state = platform::kRasStateConnected;
            return 0;
        }
        return platform::kRasInvalidHandle;
    }
    int EnumConnections(std::vector<platform::RasConnection>&) override { return 0; }
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
};

}  // namespace vorta::test
