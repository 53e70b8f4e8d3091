#pragma once
// Logs on by itself every 10 seconds while a remembered password waits to be used.

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

    explicit TAutoLogonTrd(Hooks hooks, std::chrono::milliseconds period = kPeriod);
    void RequestStop() { thread_.request_stop(); }
    // Joins the thread (the destructor does too).
    void Join();

private:
    std::jthread thread_;
};

}  // namespace vorta
