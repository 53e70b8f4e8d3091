#pragma once
// Logs on by itself every 10 seconds (±10 %) while a remembered password waits to be used;
// after three failures in a row the waits double, up to 5 minutes, until a logon succeeds.

#include <chrono>
#include <functional>
#include <thread>

namespace vorta {

class TAutoLogonTrd {
public:
    struct Hooks {
        std::function<bool()> shouldTry;                // logged off and a logon pending
        std::function<bool(std::stop_token)> tryLogon;  // the profile query; failures are silent
        std::function<void()> onSuccess;                // posts LogonDone to the controller
    };
    static constexpr std::chrono::seconds kPeriod{10};
    // The longest wait at kPeriod; a shorter period (tests) scales it alike.
    static constexpr std::chrono::seconds kCeiling{300};

    explicit TAutoLogonTrd(Hooks hooks, std::chrono::milliseconds period = kPeriod);
    void RequestStop() { thread_.request_stop(); }
    // Joins the thread (the destructor does too).
    void Join();

private:
    std::jthread thread_;
};

}  // namespace vorta
