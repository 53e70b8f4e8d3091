#pragma once
// The system service from the window: the run-as-service box's install or uninstall run, and
// the exit action's stop of the service a service-mode client runs in. Loop's thread.

#include <thread>

#include "core/ClientConfig.h"
#include "core/ClientContext.h"
#include "core/ExchangeTrd.h"
#include "core/LogonControl.h"
#include "core/SettingsRules.h"

namespace vorta {

class ServiceControl {
public:
    // `logon`: the box is enabled again only while logged on.
    ServiceControl(const ClientContext& context, platform::IServiceManager& services,
                   const ClientHooks& hooks, SettingsRules& settingsRules,
                   const LogonControl& logon);

    void ChkBoxRunAsServiceClick();
    bool Busy() const { return serviceTrd_.Busy(); }
    // Stops the service; its stop then ends this process.
    void StopService();

    // The shutdown's two steps: first the wait for the service's stop ends, later the install
    // or uninstall run is abandoned.
    void EndStopWait() { serviceStop_ = {}; }
    void Stop() { serviceTrd_.Stop(); }

private:
    // Tells the user how the install or uninstall run went.
    void FinishServiceSwitch(bool install, bool done, const std::string& why);

    ViewState& view_;
    IClientView& frontEnd_;
    ClientLog& log_;
    EventLoop& loop_;
    platform::IServiceManager& services_;
    const ClientHooks& hooks_;
    SettingsRules& settingsRules_;
    const LogonControl& logon_;
    std::jthread serviceStop_;  // the exit action's stop of the service
    TExchangeTrd serviceTrd_;   // the service's install or uninstall run
};

}  // namespace vorta
