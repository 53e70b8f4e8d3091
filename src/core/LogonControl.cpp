#include "core/LogonControl.h"

#include <utility>

#include "base/Translate.h"
#include "protocol/ResultCodes.h"
#include "protocol/TextCodec.h"

namespace vorta {
namespace {

constexpr unsigned kBeepAsterisk = 2000;

std::string Trimmed(const std::string& text) {
    return std::string(TrimControl(text));
}

}  // namespace

LogonControl::LogonControl(const ClientContext& context, LogonSession& session,
                           SettingsRules& settingsRules, std::chrono::milliseconds serviceListDelay)
    : view_(context.view),
      frontEnd_(context.frontEnd),
      settings_(context.settings),
      log_(context.log),
      loop_(context.loop),
      session_(session),
      settingsRules_(settingsRules),
      serviceListDelay_(serviceListDelay) {}

void LogonControl::BtnLogonClick() {
    if (logonTrd_.Busy()) return;
    autoLogonPending_ = loggedOn_ ? false : settings_.Get().AutoLogon;
    LogonOrLogoff();
}

void LogonControl::LogonOrLogoff() {
    if (loggedOn_) {
        session_.ClearServiceList();
        SetLoggedOff(false);
        return;
    }
    const std::string user = Trimmed(view_.EditUserName);
    if (user.empty() || Trimmed(view_.EditPassword).empty()) {
        view_.WindowVisible = true;
        frontEnd_.ShowMainWindow();
        frontEnd_.Beep(kBeepAsterisk);
        log_.Notify(Tr("请先输入用户名和密码！"));
        frontEnd_.FocusEdit(user.empty() ? EditBox::UserName : EditBox::Password);
        return;
    }
    // The texts go out exactly as typed.
    const bool started =
        logonTrd_.Start([this, url = settings_.Get().ServiceUrl, user = view_.EditUserName,
                         pwd = view_.EditPassword](std::stop_token stop) -> std::function<void()> {
            const bool ok = QueryUserProfile(url, user, pwd, session_, stop);
            // The last error is shared by every thread: it travels as a copy.
            return [this, ok, code = LastErrorCode(), text = LastErrorText()] {
                FinishLogon(ok, code, text);
            };
        });
    if (!started) return;
    // The credentials being checked stay as they are until the answer.
    view_.EditsEnabled = false;
    view_.BtnLogonEnabled = false;
    view_.Action2Enabled = false;
    frontEnd_.StateChanged();
}

void LogonControl::FinishLogon(bool ok, int errorCode, const std::string& errorText) {
    view_.BtnLogonEnabled = true;
    if (loggedOn_) {
        frontEnd_.StateChanged();  // the automatic logon got there first
    } else if (ok) {
        SetLoggedOn();
    } else {
        view_.EditsEnabled = true;
        view_.Action2Enabled = true;
        frontEnd_.Beep(kBeepAsterisk);
        log_.Notify(Tr("登陆失败,原因: ") + errorText);
        if (errorCode == kResultExchangeFailed)
            SetLoggedOff(true);
        else
            frontEnd_.StateChanged();
    }
    for (auto& waiter : std::exchange(logonWaiters_, {})) waiter();
}

void LogonControl::SetLoggedOn() {
    settingsRules_.SaveSettings();
    view_.BtnLogonCaption = Tr("注销");
    view_.EditsEnabled = false;
    view_.ChkBoxRunAsServiceEnabled = true;
    view_.ChkBoxStartupEnabled = true;
    view_.Action2Enabled = false;
    view_.Action3Enabled = true;
    view_.Tray = TrayState::LoggedOn;
    log_.Notify(Tr("登陆成功！"));
    loggedOn_ = true;
    StartServiceListThread();
    frontEnd_.StateChanged();
}

void LogonControl::SetLoggedOff(bool networkError) {
    loggedOn_ = false;
    view_.BtnLogonCaption = Tr("登陆");
    view_.EditsEnabled = true;
    view_.ChkBoxRunAsServiceEnabled = false;
    view_.ChkBoxStartupEnabled = false;
    view_.Action2Enabled = true;
    view_.Action3Enabled = false;
    settingsRules_.SaveSettings();
    session_.ClearServiceList();  // a list still on its way belongs to the ended logon
    view_.Domains.reset();
    view_.Selected = {};
    view_.lab1.clear();
    view_.lab2 = view_.lab3 = view_.lab5 = view_.lab6 = view_.lab7 = "-";
    view_.Tray = TrayState::LoggedOff;
    log_.Notify(networkError ? Tr("网络异常，登陆失败！") : Tr("注销成功！"));

    frontEnd_.StateChanged();
}

void LogonControl::Reset() {
    loggedOn_ = false;
    session_.ClearServiceList();
}

TAutoLogonTrd::Hooks LogonControl::AutoLogonHooks() {
    return {.shouldTry = [this] { return !loggedOn_ && autoLogonPending_; },
            .tryLogon =
                [this](std::stop_token stop) {
                    const Settings now = settings_.Get();
                    return QueryUserProfile(now.ServiceUrl, now.UserName, now.UserPwd, session_,
                                            stop);
                },
            .onSuccess = [this] { loop_.Post(ClientEvent(EventId::LogonDone)); }};
}

void LogonControl::StartServiceListThread() {
    std::erase_if(serviceTrds_, [](const auto& trd) { return trd->Finished(); });
    const Settings s = settings_.Get();
    serviceTrds_.push_back(std::make_unique<TGetServiceTrd>(
        s.ServiceUrl, s.UserName, s.UserPwd, session_, session_.Generation(),
        [this](std::string errorText, bool failed) {
            loop_.Post(ClientEvent(EventId::ServiceList, 0, failed ? -1 : 0, std::move(errorText)));
        },
        serviceListDelay_));
}

void LogonControl::CommandLogon(CommandDone done) {
    if (loggedOn_) return done({0, "logged on as " + settings_.Get().UserName + " already\n"});
    const std::uint64_t before = log_.Added();
    auto answer = [this, before, done = std::move(done)] {
        done({loggedOn_ ? 0 : 1, log_.Since(before)});
    };
    BtnLogonClick();
    if (logonTrd_.Busy())
        logonWaiters_.push_back(std::move(answer));
    else
        answer();  // refused before any exchange: the log says why
}

void LogonControl::CommandLogoff(CommandDone done) {
    if (!loggedOn_) return done({0, "not logged on\n"});
    const std::uint64_t before = log_.Added();
    BtnLogonClick();
    done({loggedOn_ ? 1 : 0, log_.Since(before)});
}

void LogonControl::RequestStop() {
    for (auto& trd : serviceTrds_) trd->RequestStop();
    logonTrd_.Stop();
    logonWaiters_.clear();  // the channel answers these itself
}

void LogonControl::Join() {
    for (auto& trd : serviceTrds_) trd->Join();
    serviceTrds_.clear();
}

}  // namespace vorta
