#pragma once
// The client proper: start-up, settings, logon and logoff, the timers and the shutdown. It is
// everything the main window decides, without any GUI code; a front end renders its view state
// and forwards the user's actions. All members run on the event loop's thread unless noted.

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
#include "core/ClientView.h"
#include "core/CommandOutcome.h"
#include "core/DnsCache.h"
#include "core/EventLoop.h"
#include "core/ExchangeTrd.h"
#include "core/GetServiceTrd.h"
#include "core/LogList.h"
#include "core/Logon.h"
#include "core/Settings.h"
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

struct ClientConfig {
    // The service's addresses for this run only; empty: the stored setting, else the default.
    std::string serviceUrl;
    std::string lineUrlTemplate;
    std::string probeUrl;  // the connectivity probe of web-login lines
    // Headless: no window; the saved credentials are used to log on by themselves.
    bool headless = false;
    std::chrono::milliseconds autoLogonPeriod = TAutoLogonTrd::kPeriod;
    std::chrono::milliseconds serviceListDelay = TGetServiceTrd::kDelay;
    std::chrono::milliseconds updateRest{40000};  // the IP update loop's rest after a pass
    HostResolver resolver;                        // none: the platform's resolver
    ClubTiming clubTiming;                        // the heartbeat's interval and port
    // This run's role in a pair in place of the stored one; it is stored only once the user
    // changes the role.
    enum class Pair { None, Master, Backup, BackupInLan } pair = Pair::None;
};

struct ClientPlatform {
    ClientPlatform(platform::ISettingsStore& settings, platform::IServiceManager& services,
                   platform::IAutostart& autostart)
        : settings(settings), services(services), autostart(autostart) {}

    platform::ISettingsStore& settings;
    platform::IServiceManager& services;
    platform::IAutostart& autostart;
    // The lines need the network tables; without them the client runs with no lines.
    platform::INetworkTables* network = nullptr;
    platform::IRemoteAccess* ras = nullptr;
    std::filesystem::path linesFile;
    // The machine's description for the upload; without it the machine tells nothing.
    const platform::ISystemFacts* facts = nullptr;
    // The heartbeat's datagrams; without them the pair is not joined.
    platform::IDatagrams* datagrams = nullptr;
    // The system's resolver; without it only address literals are resolved.
    HostResolver resolver;
};

// Where later subsystems plug in; every hook is optional.
struct ClientHooks {
    std::function<void()> startSysInfoUpload;  // the one upload of a run
    // Runs the program's own install (or uninstall) run; true when it succeeded.
    std::function<bool(bool install)> installService;
    // Told (on the loop's thread) once an install or uninstall run from the window succeeded and
    // the user was told: a window then shows the service, or its own client again.
    std::function<void(bool install)> serviceSwitched;
};

// Called on the loop's thread once the command is done.
using CommandDone = std::function<void(CommandOutcome)>;

inline constexpr std::chrono::milliseconds kLineStateInterval{2600};
inline constexpr std::chrono::minutes kUpdateSysInfoInterval{30};
inline constexpr const char* kMemoNativeText =
    "为了更好地为您服务，本软件将采集您的系统信息。您可以利用下面选项关闭该功能。";

class TClient {
public:
    TClient(ClientConfig config, ClientPlatform platform, IClientView& view, EventLoop& loop,
            ClientHooks hooks = {});
    ~TClient();
    TClient(const TClient&) = delete;
    TClient& operator=(const TClient&) = delete;

    void StartClient(bool serviceMode);
    void LoadSettings();
    void SaveSettings();
    // Stops and joins every thread, then frees what they used. Runs once; the destructor
    // calls it too.
    void Shutdown();
    // The exit action: in service mode it stops the service (whose stop then ends this
    // process), otherwise it closes the client.
    void ActionExit();

    // Logon and logoff. The logon's exchange runs on a worker; a click while it is out is
    // ignored.
    void BtnLogonClick();
    void LogonOrLogoff();
    void SetLoggedOn();
    void SetLoggedOff(bool networkError);
    bool LogonInProgress() const { return logonTrd_.Busy(); }
    void Action2();  // "登录(&L)": first page, then the logon button
    void Action3();  // "注销(&U)"
    void EditEnter(EditBox box);

    // Options.
    void ChkBoxStartupClick();
    void ChkBoxRunAsServiceClick();
    void ChkBoxSavePwdClick();
    void UpdateSysInfoClick();
    void cbIsInNetClick();
    void rbAsMasterClick();
    void rbAsSlaveClick();

    // Domains. The refresh's exchange runs on a worker; a click while it is out is ignored.
    void BtnRefreshDomainInfoClick();
    bool RefreshInProgress() const { return domainsTrd_.Busy(); }
    bool ServiceSwitchInProgress() const { return serviceTrd_.Busy(); }
    void FillDomainTree();
    void TreeViewDNSClick(DomainSelection selection);

    // Lines, as the window's buttons change them. Each shows the list again and tells the user
    // in a message box why a change was refused or failed. The dialog's fields are MasterGroup,
    // IsNecessary, LineKind, EntryName, UserName and Password; a text the lines file cannot
    // hold as given is refused, never cut.
    void AddLine(const TLineInfo& fields);
    // `lineId`: the record the window showed, found again by its id since the list may have
    // changed while a dialog was open. Modify takes the group, the necessary flag and the user
    // data; the line's kind and entry name stay.
    void ModifyLine(const std::string& lineId, const TLineInfo& fields);
    void DeleteLine(const std::string& lineId);

    // Log.
    void ClearLog();  // empties the log, which then tells that it was emptied
    void Notify(const std::string& text);
    void AddLog(unsigned char kind, const std::string& text);
    // AddLog from any thread: the entry is added on the loop's thread.
    void PostLog(unsigned char kind, std::string text);

    // Timers and events.
    void OnTimerLineState();
    void OnTimerUpdateSysInfo();
    void HandleEvent(const ClientEvent& event);

    // While a front end elsewhere watches the view, the line list is kept fresh as a window's.
    void SetWatched(bool watched);

    // "STATUS" / "STATUS JSON" of the instance channel.
    std::string StatusReport(bool json) const;

    // Commands from the command line, through the instance channel. Each runs on the loop's
    // thread and answers with the messages the window would show.
    // Stores one setting (validated) and applies it to the running client.
    CommandOutcome ConfigSet(const std::string& name, const std::string& value);
    // These answer through `done` once their exchange is over (one already out is joined);
    // a shutdown first drops `done` uncalled.
    void CommandLogon(CommandDone done);
    void CommandLogoff(CommandDone done);
    // The refresh button's exchange, then the domains with their resources.
    void CommandDomains(bool json, CommandDone done);
    // Logs a failure that reached the loop (and stderr when a window shows the log).
    void ReportFailure(const std::string& what);

    ViewState& View() { return view_; }
    const TLogList& Log() const { return log_; }
    SharedSettings& SettingsRecord() { return settings_; }
    LogonSession& Session() { return session_; }
    bool LoggedOn() const { return loggedOn_; }                  // any thread
    bool AutoLogonPending() const { return autoLogonPending_; }  // any thread
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
    // Tells the user how the install or uninstall run went.
    void FinishServiceSwitch(bool install, bool done);
    void FillLineList();
    // Runs a change of the lines; false (the user told why) when there are no lines or it threw.
    bool ChangeLines(const std::function<void(TLinesMng&)>& change);
    // The line list's rows as the lines manager has them now; nothing without one or when it
    // cannot be read.
    std::optional<std::vector<LineRow>> LineRows() const;
    void SetTrayState(TrayState state);
    void StartServiceListThread();
    // The logon exchange's end, with the last error as the worker saw it.
    void FinishLogon(bool ok, int errorCode, const std::string& errorText);
    // Starts the refresh exchange unless it is out already; `then` runs on the loop's thread
    // with its outcome.
    using DomainsThen = std::function<void(bool ok, const std::string& errorText)>;
    void RefreshDomains(DomainsThen then);
    void ApplyInNetRule();
    // The stored pair role, or this run's from the command line.
    void LoadPairRole();
    // Writes the settings; a failure keeps the values in memory and is logged once per cause.
    void StoreSettings(const Settings& s);
    void WriteAutostart(bool enabled);
    // Logs `what` + `cause` unless `cause` is the one last logged there, which it then becomes.
    void TellOnce(std::string& lastCause, const std::string& what, const std::string& cause);
    // The stored URL setting `name`, unless this run overrides it; the default when empty.
    std::string UrlInUse(const std::string& override, const char* name, std::string_view fallback);
    // This run's resolver, else the platform's, else one for address literals only.
    HostResolver Resolver() const;
    // Texts of the log entries added after the `before`th, oldest first, one a line.
    std::string LogSince(std::uint64_t before) const;

    ClientConfig config_;
    ClientPlatform platform_;
    IClientView& frontEnd_;
    EventLoop& loop_;
    ClientHooks hooks_;
    std::jthread serviceStop_;  // the exit action's stop of the service

    SharedSettings settings_;
    ViewState view_;
    TLogList log_;
    LogonSession session_;
    std::atomic<bool> loggedOn_{false};
    std::atomic<bool> autoLogonPending_{false};
    bool started_ = false;
    bool serviceMode_ = false;
    bool shutDown_ = false;
    bool watched_ = false;
    std::uint64_t logCount_ = 0;  // entries ever added to the log
    std::string settingsError_;   // the cause last logged for a failed settings save
    std::string autostartError_;  // the same for the autostart entry
    // The pair role as stored; while the run's own role (`config_.pair`) stands unchanged in
    // the view, saves keep this one.
    struct PairRole {
        bool inNet = false, master = false, inLanBack = false;
        bool operator==(const PairRole&) const = default;
    };
    PairRole storedPair_;
    std::optional<PairRole> runPair_;

    int timerLineState_ = -1;
    int timerUpdateSysInfo_ = -1;

    std::unique_ptr<TIpRoutes> routes_;
    std::unique_ptr<LineServices> lineServices_;
    std::unique_ptr<TLinesMng> linesMng_;
    std::unique_ptr<TClubMng> clubMng_;
    std::unique_ptr<TDnsCache> dnsCache_;
    std::unique_ptr<TUpdateIpTrd> updateIpTrd_;
    std::unique_ptr<TAutoLogonTrd> autoLogonTrd_;
    std::unique_ptr<TSysInfo> sysInfo_;
    std::unique_ptr<TUpdateSysInfoTrd> updateSysInfoTrd_;  // at most one per run
    std::vector<std::unique_ptr<TGetServiceTrd>> serviceTrds_;
    TExchangeTrd logonTrd_{loop_};
    TExchangeTrd domainsTrd_{loop_};
    TExchangeTrd serviceTrd_{loop_};                   // the service's install or uninstall run
    std::vector<std::function<void()>> logonWaiters_;  // commands waiting for the logon's end
    std::vector<DomainsThen> domainsWaiters_;
};

}  // namespace vorta
