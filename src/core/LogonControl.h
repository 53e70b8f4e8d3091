#pragma once
// The logon session as the window drives it: the logon button, the logged-on and logged-off
// states, the automatic logon's hooks, the service list threads a logon starts and the logon
// and logoff commands. Loop's thread unless noted.

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/AutoLogonTrd.h"
#include "core/ClientConfig.h"
#include "core/ClientContext.h"
#include "core/ExchangeTrd.h"
#include "core/GetServiceTrd.h"
#include "core/Logon.h"
#include "core/SettingsRules.h"

namespace vorta {

class LogonControl {
public:
    // `serviceListDelay`: how long a service list thread waits before its fetch.
    LogonControl(const ClientContext& context, LogonSession& session, SettingsRules& settingsRules,
                 std::chrono::milliseconds serviceListDelay);

    // The logon's exchange runs on a worker; a click while it is out is ignored.
    void BtnLogonClick();
    void LogonOrLogoff();
    void SetLoggedOn();
    void SetLoggedOff(bool networkError);
    bool Busy() const { return logonTrd_.Busy(); }
    bool LoggedOn() const { return loggedOn_; }                  // any thread
    bool AutoLogonPending() const { return autoLogonPending_; }  // any thread
    void SetAutoLogonPending(bool pending) { autoLogonPending_ = pending; }
    // Logged off with no service list, as a start begins.
    void Reset();
    // The automatic logon thread's hooks, which run on that thread.
    TAutoLogonTrd::Hooks AutoLogonHooks();
    // Fetches the domain list for this logon aside; its end reaches the loop as an event.
    void StartServiceListThread();

    // These answer through `done` once the exchange is over; a shutdown drops `done` uncalled.
    void CommandLogon(CommandDone done);
    void CommandLogoff(CommandDone done);

    // The shutdown's two steps: the service list threads are told to stop, the logon exchange
    // is abandoned and the commands waiting for it dropped; later the threads are joined.
    void RequestStop();
    void Join();

private:
    // The logon exchange's end, with the last error as the worker saw it.
    void FinishLogon(bool ok, int errorCode, const std::string& errorText);

    ViewState& view_;
    IClientView& frontEnd_;
    SharedSettings& settings_;
    ClientLog& log_;
    EventLoop& loop_;
    LogonSession& session_;
    SettingsRules& settingsRules_;
    std::chrono::milliseconds serviceListDelay_;

    std::atomic<bool> loggedOn_{false};
    std::atomic<bool> autoLogonPending_{false};
    std::vector<std::unique_ptr<TGetServiceTrd>> serviceTrds_;
    TExchangeTrd logonTrd_{loop_};
    std::vector<std::function<void()>> logonWaiters_;  // commands waiting for the logon's end
};

}  // namespace vorta
