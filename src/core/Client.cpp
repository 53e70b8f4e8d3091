#include "core/Client.h"

#include <iostream>
#include <utility>

#include "base/Translate.h"
#include "core/StatusReport.h"
#include "lines/LCnc.h"
#include "lines/LineFactory.h"
#include "platform/LiteralResolver.h"
#include "protocol/ResultCodes.h"
#include "protocol/ServiceUrls.h"

namespace vorta {

TClient::TClient(ClientConfig config, ClientPlatform platform, IClientView& view, EventLoop& loop,
                 ClientHooks hooks)
    : config_(std::move(config)),
      platform_(platform),
      frontEnd_(view),
      loop_(loop),
      hooks_(std::move(hooks)),
      settingsRules_(context_, config_, platform_.settings, platform_.services, platform_.autostart,
                     [this](bool master) {
                         if (clubMng_) clubMng_->Start(master);
                     }),
      lineList_(linesMng_, view_, frontEnd_),
      logon_(context_, session_, settingsRules_, config_.serviceListDelay),
      domains_(context_, session_, logon_),
      service_(context_, platform_.services, hooks_, settingsRules_, logon_) {
    loop_.SetHandler([this](const ClientEvent& event) { HandleEvent(event); });
    loop_.SetFailureHandler([this](const std::string& what) { ReportFailure(what); });
    timerLineState_ = loop_.AddTimer(
        kLineStateInterval, [this] { OnTimerLineState(); }, false);
    // The upload timer runs from the window's creation, in either mode.
    timerUpdateSysInfo_ = loop_.AddTimer(
        std::chrono::duration_cast<std::chrono::milliseconds>(kUpdateSysInfoInterval),
        [this] { OnTimerUpdateSysInfo(); }, true);
}

TClient::~TClient() {
    Shutdown();
}

void TClient::StartClient(bool serviceMode) {
    if (started_) return;
    started_ = true;
    serviceMode_ = serviceMode;
    // 1.
    if (platform_.network != nullptr) {
        routes_ = std::make_unique<TIpRoutes>(*platform_.network);
        // A run that was killed left its host routes, maybe through a gateway that is gone.
        if (const std::size_t left = routes_->RemoveLeftovers())
            PostLog(1, Fill(Tr("removed {} host route(s) an earlier run left"),
                            {std::to_string(left)}));
        lineServices_ = std::make_unique<LineServices>(
            LineServices{*routes_, platform_.ras,
                         settingsRules_.UrlInUse(config_.probeUrl, "ProbeUrl", kDefaultProbeUrl)});
        lineServices_->resolver = Resolver();
        // A line that came up or went down by its own doing (a dial ended) is told as the
        // system's notices are: through the hub, whose listening ends safely at shutdown.
        if (platform_.changes != nullptr)
            lineServices_->changed = [hub = platform_.changes] { hub->Notify(); };
        TLinesMng::Options lines{platform_.linesFile, *lineServices_, [this] {
                                     const Settings s = settings_.Get();
                                     return s.IsInNet && !s.IsMasterHost && s.IsInLANBack;
                                 }};
        lines.holdDown = [this] {
            return std::chrono::milliseconds(std::chrono::seconds(settings_.Get().HoldDownSeconds));
        };
        linesMng_ = std::make_unique<TLinesMng>(std::move(lines));
    }
    // 2. The role in a pair is kept across restarts, so it is in force before the unit starts.
    // The lines carry until a master's "ACTIVE" is heard: set before the unit starts, which may
    // hear one at once.
    settingsRules_.LoadPairRole();
    if (linesMng_) linesMng_->Duty = LinesDuty::Carry;
    clubMng_ = std::make_unique<TClubMng>(linesMng_.get(), platform_.datagrams, config_.clubTiming);
    // A heartbeat port that cannot be bound leaves the client running without the pair.
    clubMng_->OnPortFailure = [this](const std::string& failure) {
        PostLog(1, failure.empty() ? std::string(Tr("the heartbeat port is bound again"))
                                   : Fill(Tr("{}; the pair is retried every 41 s"), {failure}));
    };
    if (const Settings s = settings_.Get(); s.IsInNet) clubMng_->Start(s.IsMasterHost);
    if (linesMng_) linesMng_->KeepGroup(LineGroup::Main);
    // 3.
    logon_.SetAutoLogonPending(false);
    log_.Clear();
    if (linesMng_ && !linesMng_->LoadError().empty())
        AddLog(2, Fill(Tr("the lines file could not be read; no lines this run and it is not "
                          "rewritten: {}"),
                       {linesMng_->LoadError()}));
    lineList_.FillLineList();
    // 4-5. The tray hint and the exit action belong to the front end (ServiceMode() tells it).
    // 6.
    logon_.Reset();
    // 7.
    dnsCache_ = std::make_unique<TDnsCache>(Resolver());
    // 8. The service's addresses: this run's options, else the stored settings, else the
    // built-in defaults.
    settings_.Update([&](Settings& s) {
        s.ServiceUrl =
            settingsRules_.UrlInUse(config_.serviceUrl, "ServiceUrl", kDefaultServiceUrl);
        s.LineUrlTemplate = settingsRules_.UrlInUse(config_.lineUrlTemplate, "LineUrlTemplate",
                                                    kDefaultLineUrlTemplate);
        s.ProbeUrl = lineServices_
                         ? lineServices_->probeUrl
                         : settingsRules_.UrlInUse(config_.probeUrl, "ProbeUrl", kDefaultProbeUrl);
    });
    view_.MemoNative = Tr(kMemoNativeText);
    // 9.
    view_.Tray = TrayState::NotConnected;
    // 10-11.
    LoadSettings();
    view_.ActivePage = 0;
    // 12. The system information collector; adapters are paired with connections by interface.
    {
        TConnectionLookup connections;
        if (platform_.network != nullptr && routes_) {
            connections.names = [network = platform_.network] {
                std::vector<std::string> names;
                TLineFactory::GetConnectionNames(*network, names);
                return names;
            };
            connections.ifIndex = [routes = routes_.get()](const std::string& name) {
                return routes->GetConnectionIfIndex(name);
            };
        }
        sysInfo_ =
            std::make_unique<TSysInfo>(platform_.network, std::move(connections), platform_.facts);
    }
    // 13.
    const Settings s = settings_.Get();
    if (config_.headless) {
        // With no one to type them, the saved credentials stand in the edit boxes, so that the
        // saves of the logon keep the password.
        view_.EditPassword = s.UserPwd;
        logon_.SetAutoLogonPending(!s.UserName.empty() || !s.UserPwd.empty());
    } else if (!s.AutoLogon) {
        view_.WindowVisible = true;
        frontEnd_.ShowMainWindow();
    } else {
        logon_.SetAutoLogonPending(true);
    }
    // 14.
    if (linesMng_ && routes_)
        updateIpTrd_ = std::make_unique<TUpdateIpTrd>(
            TUpdateIpTrd::Context{settings_, *linesMng_, *dnsCache_, *routes_, config_.updateRest,
                                  [this](const std::string& text) { PostLog(1, text); }});
    // The system's notices drive the lines from now on; the passes above stay as the fallback.
    if (linesMng_ && platform_.changes != nullptr) {
        changes_ = platform_.changes->Listen([this] { NoteNetworkChange(); });
    }
    // 15. Only a window shows the line list; without one the status reads it when asked.
    loop_.SetTimerEnabled(timerLineState_, !config_.headless || watched_);
    // 16.
    if (!autoLogonTrd_) {
        autoLogonTrd_ =
            std::make_unique<TAutoLogonTrd>(logon_.AutoLogonHooks(), config_.autoLogonPeriod);
    }
    frontEnd_.StateChanged();
}

void TClient::NoteNetworkChange() {
    // On the notifying thread: both only set a flag and wake their threads.
    if (linesMng_) linesMng_->NoteChange();
    if (updateIpTrd_) updateIpTrd_->NoteChange();
}

HostResolver TClient::Resolver() const {
    return platform::ResolverOrLiterals(config_.resolver ? config_.resolver : platform_.resolver);
}

void TClient::Shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    service_.EndStopWait();
    // Every thread is told first and joined before anything it uses goes away; a thread inside
    // an exchange or a dial sees the stop at once, so no fixed pause is needed. The lines come
    // first: the IP update loop may be inside a line's logon, which only the line's stop ends.
    changes_.Reset();  // returns once a notice in progress has been passed on
    if (linesMng_) linesMng_->RequestStop();
    if (autoLogonTrd_) autoLogonTrd_->RequestStop();
    if (updateIpTrd_) updateIpTrd_->RequestStop();
    if (updateSysInfoTrd_) updateSysInfoTrd_->RequestStop();
    logon_.RequestStop();  // the service list threads, then the logon exchange
    domains_.Stop();
    service_.Stop();
    if (autoLogonTrd_) autoLogonTrd_->Join();
    if (updateIpTrd_) updateIpTrd_->Join();
    if (updateSysInfoTrd_) updateSysInfoTrd_->Join();
    logon_.Join();
    autoLogonTrd_.reset();
    updateIpTrd_.reset();
    updateSysInfoTrd_.reset();
    sysInfo_.reset();  // its connection lookup uses the routes
    loop_.SetTimerEnabled(timerLineState_, false);
    loop_.SetTimerEnabled(timerUpdateSysInfo_, false);
    session_.ClearServiceList();
    view_.Domains.reset();
    clubMng_.reset();   // its thread uses the lines manager
    linesMng_.reset();  // saves the lines and waits for every line's thread
    lineServices_.reset();
    routes_.reset();
    dnsCache_.reset();
    log_.Clear();
}

void TClient::Action2() {
    view_.ActivePage = 0;
    BtnLogonClick();
}

void TClient::ActionExit() {
    if (!serviceMode_) {
        frontEnd_.Exit();
        return;
    }
    service_.StopService();
}

void TClient::ClearLog() {
    log_.Clear();
    Notify(Tr("清除所有日志信息！"));
}

void TClient::SetWatched(bool watched) {
    watched_ = watched;
    if (!started_ || shutDown_ || !config_.headless) return;
    loop_.SetTimerEnabled(timerLineState_, watched);
    if (watched) lineList_.FillLineList();
}

void TClient::OnTimerUpdateSysInfo() {
    if (!logon_.LoggedOn()) return;
    loop_.SetTimerEnabled(timerUpdateSysInfo_, false);
    const Settings s = settings_.Get();
    if (!s.UpdateSysInfo) return;
    if (hooks_.startSysInfoUpload) {
        hooks_.startSysInfoUpload();
    } else if (sysInfo_ && !updateSysInfoTrd_) {
        updateSysInfoTrd_ = std::make_unique<TUpdateSysInfoTrd>(
            *sysInfo_, SysInfoUploadTarget{s.ServiceUrl, s.UserName, s.UserPwd});
    }
}

void TClient::HandleEvent(const ClientEvent& event) {
    switch (event.id) {
        case EventId::ClientStart:
            StartClient(event.wParam != 0);
            break;
        case EventId::ClientShow:
            view_.WindowVisible = true;
            frontEnd_.ShowMainWindow();
            break;
        case EventId::LogonDone:
            if (!logon_.LoggedOn()) SetLoggedOn();
            break;
        case EventId::ServiceList:
            if (event.lParam == -1) {
                Notify(event.text);
            } else {
                FillDomainTree();
                TreeViewDNSClick({DomainSelection::Root, 0, 0});
            }
            break;
        case EventId::Invoke:
            break;
    }
}

std::string TClient::StatusReport(bool json) const {
    StatusSnapshot snapshot;
    snapshot.serviceMode = serviceMode_;
    snapshot.loggedOn = logon_.LoggedOn();
    snapshot.userName = settings_.Get().UserName;
    snapshot.lastErrorCode = LastErrorCode();
    snapshot.lastErrorText = LastErrorText();
    // Without a window the list is not kept up to date: it is read when asked for.
    auto rows = config_.headless ? lineList_.LineRows() : std::nullopt;
    snapshot.lines = rows ? std::move(*rows) : view_.Lines;
    if (linesMng_) {
        snapshot.linesEnabled = linesMng_->Duty == LinesDuty::Carry;
        snapshot.groupState = static_cast<int>(linesMng_->Groups.load());
    }
    if (clubMng_ && clubMng_->Running()) {
        snapshot.pairRole = clubMng_->IsMaster() ? "master" : "backup";
        if (const std::uint8_t state = clubMng_->LastState().Last(); state != kPeerUnknown)
            snapshot.peerState = state;
        snapshot.ignoredDatagrams = clubMng_->IgnoredDatagrams();
        snapshot.pairFailure = clubMng_->PortFailure();
    }
    snapshot.domains = session_.ServiceList();
    const Settings s = settings_.Get();
    snapshot.serviceUrl = s.ServiceUrl;
    snapshot.lineUrlTemplate = s.LineUrlTemplate;
    snapshot.probeUrl = s.ProbeUrl;
    snapshot.uploadAllowed = s.UpdateSysInfo;
    if (s.UpdateSysInfo) snapshot.uploadNotice = Tr(kMemoNativeText);
    return json ? FormatStatusJson(snapshot) : FormatStatusText(snapshot);
}

void TClient::ReportFailure(const std::string& what) {
    AddLog(2, Fill(Tr("an action failed and was abandoned: {}"), {what}));
    // The headless front end prints the log itself; a window's log is not on stderr.
    if (!config_.headless)
        std::cerr << "vorta: an action failed and was abandoned: " << what << "\n";
}

}  // namespace vorta
