#pragma once
// What the dial-up engine needs from the system's remote access layer. Calls answer 0 or an
// error code; a layer that is not installed raises std::runtime_error on first use.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace vorta::platform {

using RasHandle = std::uint64_t;

// Codes shared by every remote access layer.
inline constexpr int kRasInvalidHandle = 6;
inline constexpr int kRasEntryNotFound = 623;
inline constexpr int kRasDialStopped = 631;  // a stop ended the dial before the link was up
inline constexpr int kRasStateConnected = 8192;
inline constexpr int kRasStateDisconnected = 8193;

struct RasDialParams {
    std::string entryName;
    std::string userName;
    std::string password;
};

struct RasConnection {
    RasHandle handle = 0;
    std::string entryName;
};

struct RasCounters {
    std::uint64_t bytesSent = 0;
    std::uint64_t bytesReceived = 0;
    std::uint32_t speed = 0;
};

class IRemoteAccess {
public:
    // Progress of an asynchronous dial: state (0-21, 4096-4099, 8192, 8193) and error code.
    using Notifier = std::function<void(int state, int error)>;

    virtual ~IRemoteAccess() = default;
    virtual int EnumEntries(std::vector<std::string>& entries) = 0;
    // Fills the entry's stored dial parameters (user name and password where it keeps them).
    virtual int GetEntryDialParams(RasDialParams& params) = 0;
    // Without a notifier, returns once the link is up or has failed; with one, returns at once
    // and reports progress on another thread. `handle` names the attempt either way. A stop
    // requested on `stop` before the link is up ends the attempt within a second: the dial
    // answers (or reports) kRasDialStopped and leaves nothing running.
    virtual int Dial(const RasDialParams& params, RasHandle& handle, Notifier notifier = {},
                     std::stop_token stop = {}) = 0;
    virtual int HangUp(RasHandle handle) = 0;
    // Returns once the link `handle` names is gone, or after `timeout`. A layer that can sleep
    // until the end overrides this; the default asks GetConnectStatus, twice as late each time.
    virtual void AwaitGone(RasHandle handle, std::chrono::milliseconds timeout) {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + timeout;
        int state = 0;
        for (Clock::duration pause = std::chrono::milliseconds(10);
             GetConnectStatus(handle, state) != kRasInvalidHandle; pause *= 2) {
            const auto left = deadline - Clock::now();
            if (left <= Clock::duration::zero()) return;
            std::this_thread::sleep_for(std::min(pause, left));
        }
    }
    // kRasInvalidHandle once the link is gone.
    virtual int GetConnectStatus(RasHandle handle, int& state) = 0;
    virtual int EnumConnections(std::vector<RasConnection>& connections) = 0;
    virtual int GetProjection(RasHandle handle, std::string& clientIp, std::string& serverIp) = 0;
    virtual std::string ErrorText(int code) = 0;
    virtual bool ReadCounters(RasHandle handle, RasCounters& counters) = 0;
};

}  // namespace vorta::platform
