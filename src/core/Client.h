#pragma once
// The client proper: everything the main window decides, without any GUI code; a front end
// renders its view state and forwards the user's actions. It owns the start-up, the timers and
// the shutdown, and hands each action to the part that decides it: the settings rules, the
// logon, the domain page, the line list, the service switch and the log. All members run on the
// event loop's thread unless noted.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/NameResolver.h"
#include "club/ClubMng.h"
#include "core/AutoLogonTrd.h"
#include "core/ClientConfig.h"
#include "core/ClientContext.h"
#include "core/ClientLog.h"
#include "core/ClientView.h"
#include "core/CommandOutcome.h"
#include "core/DnsCache.h"
#include "core/DomainView.h"
#include "core/EventLoop.h"
#include "core/ExchangeTrd.h"
#include "core/GetServiceTrd.h"
#include "core/LineList.h"
#include "core/LogList.h"
#include "core/Logon.h"
#include "core/LogonControl.h"
#include "core/ServiceControl.h"
#include "core/Settings.h"
#include "core/SettingsRules.h"
#include "core/UpdateIpTrd.h"
#include "core/UpdateSysInfoTrd.h"
#include "core/ViewState.h"
#include "lines/IpRoutes.h"
#include "lines/LineBase.h"
#include "lines/LinesMng.h"
#include "platform/Autostart.h"
#include "platform/Datagrams.h"
#include "platform/ServiceManager.h"
#include "platform/SettingsStore.h"
#include "platform/SystemFacts.h"
#include "service/ServiceHost.h"
#include "sysinfo/SysInfo.h"

namespace vorta {

class TClient {
public:
    TClient(ClientConfig config, ClientPlatform platform, IClientView& view, EventLoop& loop,
            ClientHooks hooks = {});
    ~TClient();
    TClient(const TClient&) = delete;
    TClient& operator=(const TClient&) = delete;

    void StartClient(bool serviceMode);
    void LoadSettings() { settingsRules_.LoadSettings(); }
    void SaveSettings() { settingsRules_.SaveSettings(); }
    // Stops and joins every thread, then frees what they used. Runs once; the destructor
    // calls it too.
    void Shutdown();
    // The exit action: in service mode it stops the service (whose stop then ends this
    // process), otherwise it closes the client.
    void ActionExit();

    // Logon and logoff. The logon's exchange runs on a worker; a click while it is out is
    // ignored.
    void BtnLogonClick() { logon_.BtnLogonClick(); }
    void LogonOrLogoff() { logon_.LogonOrLogoff(); }
    void SetLoggedOn() { logon_.SetLoggedOn(); }
    void SetLoggedOff(bool networkError) { logon_.SetLoggedOff(networkError); }
    bool LogonInProgress() const { return logon_.Busy(); }
    void Action2();                      // "登录(&L)": first page, then the logon button
    void Action3() { BtnLogonClick(); }  // "注销(&U)"
    void EditEnter(EditBox /*box*/) { logon_.SetAutoLogonPending(false); }

    // Options.
    void ChkBoxStartupClick() { settingsRules_.ChkBoxStartupClick(); }
    void ChkBoxRunAsServiceClick() { service_.ChkBoxRunAsServiceClick(); }
    void ChkBoxSavePwdClick() { settingsRules_.ChkBoxSavePwdClick(); }
    void UpdateSysInfoClick() { SaveSettings(); }
    void cbIsInNetClick() { settingsRules_.cbIsInNetClick(); }
    void rbAsMasterClick() { settingsRules_.rbAsMasterClick(); }
    void rbAsSlaveClick() { settingsRules_.rbAsSlaveClick(); }

    // Domains. The refresh's exchange runs on a worker; a click while it is out is ignored.
    void BtnRefreshDomainInfoClick() { domains_.BtnRefreshDomainInfoClick(); }
    bool RefreshInProgress() const { return domains_.Busy(); }
    bool ServiceSwitchInProgress() const { return service_.Busy(); }
    void FillDomainTree() { domains_.FillDomainTree(); }
    void TreeViewDNSClick(DomainSelection selection) { domains_.TreeViewDNSClick(selection); }

    // Lines, as the window's buttons change them. Each shows the list again and tells the user
    // in a message box why a change was refused or failed. The dialog's fields are MasterGroup,
    // IsNecessary, LineKind, EntryName, UserName and Password; a text the lines file cannot
    // hold as given is refused, never cut.
    void AddLine(const TLineInfo& fields) { lineList_.AddLine(fields); }
    // `lineId`: the record the window showed, found again by its id since the list may have
    // changed while a dialog was open. Modify takes the group, the necessary flag and the user
    // data; the line's kind and entry name stay.
    void ModifyLine(const std::string& lineId, const TLineInfo& fields) {
        lineList_.ModifyLine(lineId, fields);
    }
    void DeleteLine(const std::string& lineId) { lineList_.DeleteLine(lineId); }

    // Log.
    void ClearLog();  // empties the log, which then tells that it was emptied
    void Notify(const std::string& text) { log_.Notify(text); }
    void AddLog(unsigned char kind, const std::string& text) { log_.AddLog(kind, text); }
    // AddLog from any thread: the entry is added on the loop's thread.
    void PostLog(unsigned char kind, std::string text) { log_.PostLog(kind, std::move(text)); }

    // Timers and events.
    void OnTimerLineState() { lineList_.FillLineList(); }
    void OnTimerUpdateSysInfo();
    void HandleEvent(const ClientEvent& event);

    // While a front end elsewhere watches the view, the line list is kept fresh as a window's.
    void SetWatched(bool watched);

    // "STATUS" / "STATUS JSON" of the instance channel.
    std::string StatusReport(bool json) const;

    // Commands from the command line, through the instance channel. Each runs on the loop's
    // thread and answers with the messages the window would show.
    // Stores one setting (validated) and applies it to the running client.
    CommandOutcome ConfigSet(const std::string& name, const std::string& value) {
        return settingsRules_.ConfigSet(name, value);
    }
    // These answer through `done` once their exchange is over (one already out is joined);
    // a shutdown first drops `done` uncalled.
    void CommandLogon(CommandDone done) { logon_.CommandLogon(std::move(done)); }
    void CommandLogoff(CommandDone done) { logon_.CommandLogoff(std::move(done)); }
    // The refresh button's exchange, then the domains with their resources.
    void CommandDomains(bool json, CommandDone done) {
        domains_.CommandDomains(json, std::move(done));
    }
    // Logs a failure that reached the loop (and stderr when a window shows the log).
    void ReportFailure(const std::string& what);

    ViewState& View() { return view_; }
    const TLogList& Log() const { return log_.List(); }
    SharedSettings& SettingsRecord() { return settings_; }
    LogonSession& Session() { return session_; }
    bool LoggedOn() const { return logon_.LoggedOn(); }                  // any thread
    bool AutoLogonPending() const { return logon_.AutoLogonPending(); }  // any thread
    bool Started() const { return started_; }
    bool ServiceMode() const { return serviceMode_; }
    bool UpdateSysInfoTimerEnabled() const { return loop_.TimerEnabled(timerUpdateSysInfo_); }
    // The lines manager, once StartClient has created it.
    TLinesMng* LinesMng() { return linesMng_.get(); }
    TClubMng* ClubMng() { return clubMng_.get(); }
    // The system information collector, once StartClient has created it.
    TSysInfo* SysInfo() { return sysInfo_.get(); }
    bool SysInfoUploadStarted() const { return updateSysInfoTrd_ != nullptr; }

private:
    // This run's resolver, else the platform's, else one for address literals only.
    HostResolver Resolver() const;
    // The system told of a change of links, addresses or routes.
    void NoteNetworkChange();

    ClientConfig config_;
    ClientPlatform platform_;
    IClientView& frontEnd_;
    EventLoop& loop_;
    ClientHooks hooks_;

    SharedSettings settings_;
    ViewState view_;
    ClientLog log_{frontEnd_, loop_};
    ClientContext context_{view_, frontEnd_, settings_, log_, loop_};
    LogonSession session_;
    bool started_ = false;
    bool serviceMode_ = false;
    bool shutDown_ = false;
    bool watched_ = false;

    int timerLineState_ = -1;
    int timerUpdateSysInfo_ = -1;

    std::unique_ptr<TIpRoutes> routes_;
    std::unique_ptr<LineServices> lineServices_;
    std::unique_ptr<TLinesMng> linesMng_;
    std::unique_ptr<TClubMng> clubMng_;
    std::unique_ptr<TDnsCache> dnsCache_;
    std::unique_ptr<TUpdateIpTrd> updateIpTrd_;
    std::unique_ptr<TAutoLogonTrd> autoLogonTrd_;
    platform::NetworkChanges::Subscription changes_;
    std::unique_ptr<TSysInfo> sysInfo_;
    std::unique_ptr<TUpdateSysInfoTrd> updateSysInfoTrd_;  // at most one per run

    // The client's parts, each on what it needs of the above.
    SettingsRules settingsRules_;
    LineList lineList_;
    LogonControl logon_;
    DomainView domains_;
    ServiceControl service_;
};

}  // namespace vorta
