#pragma once
// A line: one internet connection through which the client reports an address. Every line
// owns a keep thread that about every 8 seconds, and at once when woken, brings it up or takes it
// down as KeepActive asks, and runs its Authenticate step on every fifth regular pass.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "base/NameResolver.h"
#include "base/Translate.h"
#include "lines/IpRoutes.h"
#include "platform/LiteralResolver.h"
#include "platform/RemoteAccess.h"

namespace vorta {

// What lines use from outside; owned by whoever creates the lines and outliving them.
struct LineServices {
    TIpRoutes& routes;
    platform::IRemoteAccess* ras = nullptr;  // dial-up lines; none: dialling fails
    std::string probeUrl;                    // web-login lines' connectivity probe
    std::chrono::milliseconds keepPeriod{8000};
    HostResolver resolver = platform::ResolveIp4Literal;  // web-login lines' portal names
    // Told when a keep pass brought a line up or took it down; set before any line exists.
    std::function<void()> changed = nullptr;
};

class TBaseLine {
public:
    explicit TBaseLine(LineServices& services) : services_(services) {}
    virtual ~TBaseLine();
    TBaseLine(const TBaseLine&) = delete;
    TBaseLine& operator=(const TBaseLine&) = delete;

    // The string members, safe to use from any thread.
    std::string UserName() const { return Get(userName_); }
    void SetUserName(std::string value) { Set(userName_, std::move(value)); }
    std::string Password() const { return Get(password_); }
    void SetPassword(std::string value) { Set(password_, std::move(value)); }
    std::string EntryName() const { return Get(entryName_); }
    void SetEntryName(std::string value) { Set(entryName_, std::move(value)); }
    // The IpAddress field itself; the property reads through GetIpAddress.
    std::string IpAddressField() const { return Get(ipAddress_); }
    void SetIpAddress(std::string value) { Set(ipAddress_, std::move(value)); }
    std::vector<std::string> Errors() const;
    // Why the line is not reported; only a report the service took clears it.
    std::string Reason() const { return Get(reason_); }
    void SetReason(std::string value) { Set(reason_, std::move(value)); }
    // When the service last took a report of this line; the epoch when it never did.
    std::chrono::system_clock::time_point ReportedAt() const {
        std::lock_guard guard(lock_);
        return reportedAt_;
    }
    // A report was taken: the reason is cleared and the time noted.
    void SetReported(std::chrono::system_clock::time_point when) {
        std::lock_guard guard(lock_);
        reason_.clear();
        reportedAt_ = when;
    }

    std::atomic<bool> KeepActive{false};

    // Runs once right after construction: clears Errors, KeepActive false, starts the keep
    // thread.
    virtual void Initialize();
    virtual int Connect() = 0;
    virtual int Disconnect() = 0;
    virtual std::string GetIpAddress() = 0;
    virtual bool GetActive() = 0;
    virtual void SetActive(bool value) = 0;
    virtual std::string Describe() = 0;
    // False only when a logon was tried and refused.
    virtual bool Authenticate() = 0;
    // Why the line is not up, in words ("eth1 has no carrier"); asked while GetActive is false.
    virtual std::string WhyNotUp() { return Fill(Tr("{} is not connected"), {EntryName()}); }
    // What went wrong in the line's last logon step; empty when nothing did.
    virtual std::string LogonProblem() const { return {}; }

    // Asks the keep thread to run Authenticate at once, on its own thread; returns at once.
    // Callers that must not wait on the network (the controller, the lines manager under its
    // lock) ask for the logon this way instead of running it.
    void RequestAuthenticate();
    // Asks the keep thread for a pass at once (the system told of a change, or KeepActive
    // changed); returns at once. The passes' cadence, and so that of Authenticate, stays.
    void WakeKeep();
    // Asks the keep thread to end and every exchange and dial of this line to stop; returns at
    // once. A stopped line stays stopped.
    void RequestStop();
    // RequestStop, then waits for the keep thread to end: the line makes no further pass (no
    // dial, no logon) even while others still hold it. A pass in progress ends first; its
    // exchanges and dials see the stop at once. Every most-derived destructor calls it first:
    // the keep thread may be inside a virtual operation, which must not outlive the object's
    // own parts.
    void StopKeepThread();

protected:
    std::stop_token Stopping() const { return stop_.get_token(); }
    // Keeps the last kMaxErrors texts.
    void AddError(std::string text);
    static constexpr std::size_t kMaxErrors = 100;
    LineServices& services_;

private:
    std::string Get(const std::string& field) const {
        std::lock_guard guard(lock_);
        return field;
    }
    void Set(std::string& field, std::string value) {
        std::lock_guard guard(lock_);
        field = std::move(value);
    }

    void KeepLoop(std::stop_token stop);
    bool TakeAuthenticateRequest();
    bool TakeWake();

    mutable std::mutex lock_;
    std::string userName_, password_, entryName_, ipAddress_, reason_;
    std::chrono::system_clock::time_point reportedAt_{};
    std::vector<std::string> errors_;
    std::stop_source stop_;
    std::mutex wakeLock_;  // guards authenticateRequested_ and woken_
    std::condition_variable_any wake_;
    bool authenticateRequested_ = false;
    bool woken_ = false;
    std::jthread keepThread_;
};

}  // namespace vorta
