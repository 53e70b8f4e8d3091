#include "core/ServiceControl.h"

#include <exception>
#include <string>

#include "base/Translate.h"
#include "core/SystemTexts.h"
#include "platform/ThreadName.h"
#include "protocol/DebugLog.h"
#include "service/ServiceHost.h"

namespace vorta {

ServiceControl::ServiceControl(const ClientContext& context, platform::IServiceManager& services,
                               const ClientHooks& hooks, SettingsRules& settingsRules,
                               const LogonControl& logon)
    : view_(context.view),
      frontEnd_(context.frontEnd),
      log_(context.log),
      loop_(context.loop),
      services_(services),
      hooks_(hooks),
      settingsRules_(settingsRules),
      logon_(logon),
      serviceTrd_(context.loop) {}

void ServiceControl::ChkBoxRunAsServiceClick() {
    // A switch under way ends with the box showing what is registered; a click meanwhile waits
    // for nothing and changes nothing.
    if (serviceTrd_.Busy()) return;
    const bool install = view_.ChkBoxRunAsService;
    if (install) {
        view_.ChkBoxSavePwd = true;
        view_.ChkBoxStartup = false;
        settingsRules_.SaveSettings();
    }
    // The install run is a child process (with an authentication prompt where it needs one):
    // it runs aside and its outcome comes back to the loop.
    const bool started = serviceTrd_.Start([this, install](std::stop_token) {
        bool done = false;
        std::string why;
        try {
            done = hooks_.installService && hooks_.installService(install);
        } catch (const std::exception& e) {
            why = e.what();
        }
        return std::function<void()>(
            [this, install, done, why] { FinishServiceSwitch(install, done, why); });
    });
    if (started) view_.ChkBoxRunAsServiceEnabled = false;
    frontEnd_.StateChanged();
}

void ServiceControl::FinishServiceSwitch(bool install, bool done, const std::string& why) {
    view_.ChkBoxRunAsServiceEnabled = logon_.LoggedOn();
    // The message box says it failed; the log says why (a refused consent among the reasons).
    if (!done && !why.empty())
        log_.AddLog(1, Fill(install ? Tr("the service install did not happen: {}")
                                    : Tr("the service removal did not happen: {}"),
                            {why}));
    frontEnd_.MessageBox(Tr(install ? (done ? kInstallDone : kInstallFailed)
                                    : (done ? kUninstallDone : kUninstallFailed)),
                         kMessageCaption, MessageIcon::Information);
    if (done && install)
        log_.AddLog(0,
                    Tr("the service runs on the system's data dir with this account, its service "
                       "addresses and lines; this client's own files stay as they were"));
    if (done)
        log_.Notify(Tr(install ? texts::kServiceLoaded : texts::kServiceUnloaded));
    else  // after a failure the box shows what is really registered
        view_.ChkBoxRunAsService = services_.IsServiceInstalled(platform::kServiceName);
    frontEnd_.StateChanged();
    if (done && hooks_.serviceSwitched) hooks_.serviceSwitched(install);
}

void ServiceControl::StopService() {
    // Pending events are handled first; the stop's wait runs aside so that the loop can take
    // the quit that the service's stop brings, and a shutdown ends the wait.
    loop_.Post(ClientEvent([this] {
        if (serviceStop_.joinable()) return;
        serviceStop_ = std::jthread([this](std::stop_token stop) {
            platform::NameThisThread("vorta-svcstop");
            try {
                if (!services_.StopOwnService(stop)) log_.PostLog(1, Tr("Vorta服务没有停止"));
            } catch (const std::exception& e) {
                log_.PostLog(1, e.what());
            }
        });
    }));
}

}  // namespace vorta
