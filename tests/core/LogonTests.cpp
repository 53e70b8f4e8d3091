// Manual logon and logoff against the development service.

#include "ClientHarness.h"
#include "protocol/ResultCodes.h"

namespace vorta {
namespace {

using devservice::Exchange;
using test::ClientHarness;
using test::FaultWith;
using test::LiveService;

class LogonTest : public ::testing::Test {
protected:
    ClientConfig Config() { return live.FastConfig(); }
    void Type(ClientHarness& h, const std::string& user, const std::string& pwd) {
        h.client->View().EditUserName = user;
        h.client->View().EditPassword = pwd;
    }
    LiveService live;
};

TEST_F(LogonTest, SuccessSavesShowsAndFetchesTheDomains) {
    ClientHarness h(Config());
    h.client->StartClient(false);
    Type(h, "demo", "demo123");
    h.client->BtnLogonClick();
    ASSERT_TRUE(h.client->LoggedOn());
    const ViewState& v = h.client->View();
    EXPECT_EQ(v.BtnLogonCaption, "注销");
    EXPECT_FALSE(v.EditsEnabled);
    EXPECT_TRUE(v.ChkBoxStartupEnabled);
    EXPECT_EQ(v.Tray, TrayState::LoggedOn);
    EXPECT_FALSE(v.Action2Enabled);
    EXPECT_TRUE(v.Action3Enabled);
    EXPECT_TRUE(h.LogHas("登陆成功！"));
    EXPECT_EQ(h.store.values["UserName"], "demo");
    EXPECT_EQ(h.store.values["UserPwd"], "demo123");

    ASSERT_TRUE(h.RunUntil([&] { return v.Domains != nullptr; }));
    EXPECT_EQ(v.lab1, "共 " + std::to_string(v.Domains->Domains.size()) + " 个域名。");
    EXPECT_EQ(v.Selected.level, DomainSelection::Root);
    ASSERT_NE(h.client->Session().UserProfile(), nullptr);
    EXPECT_EQ(h.client->Session().UserProfile()->Profile.UserName, "demo");

    // Logoff frees the list and says so.
    h.client->Action3();
    EXPECT_FALSE(h.client->LoggedOn());
    EXPECT_EQ(h.client->Session().ServiceList(), nullptr);
    EXPECT_EQ(v.Domains, nullptr);
    EXPECT_EQ(v.BtnLogonCaption, "登陆");
    EXPECT_EQ(v.lab1, "");
    EXPECT_EQ(v.lab2, "-");
    EXPECT_EQ(v.Tray, TrayState::LoggedOff);
    EXPECT_EQ(h.NewestLog(), "注销成功！");
}

TEST_F(LogonTest, ServiceRefusalsKeepTheClientLoggedOffQuietly) {
    for (const auto& [user, pwd, text] :
         {std::tuple{"nobody", "x", "用户尚未注册！"}, std::tuple{"demo", "wrong", "密码错误！"}}) {
        ClientHarness h(Config());
        h.client->StartClient(false);
        Type(h, user, pwd);
        h.client->BtnLogonClick();
        EXPECT_FALSE(h.client->LoggedOn());
        EXPECT_EQ(h.NewestLog(), std::string("登陆失败,原因: ") + text);
        EXPECT_EQ(h.client->View().BtnLogonCaption, "登录") << "no logged-off transition";
        EXPECT_EQ(h.view.beeps, 1);
        EXPECT_TRUE(h.store.writes.empty());
    }
}

TEST_F(LogonTest, NoAnswerOrUnreadableResultTakesTheNetworkErrorPath) {
    ClientHarness h(Config());
    h.client->StartClient(false);
    Type(h, "demo", "demo123");
    live.service.setFault(Exchange::Profile, FaultWith(0, 0, "abc"));
    h.client->BtnLogonClick();
    EXPECT_FALSE(h.client->LoggedOn());
    EXPECT_EQ(LastErrorCode(), 1);
    EXPECT_TRUE(h.LogHas("登陆失败,原因: 连接服务器异常！"));
    EXPECT_EQ(h.NewestLog(), "网络异常，登陆失败！");
    EXPECT_EQ(h.client->View().BtnLogonCaption, "登陆");
    EXPECT_EQ(h.store.values["UserName"], "demo") << "the logged-off transition saves";

    live.service.stop();
    h.client->BtnLogonClick();
    EXPECT_EQ(h.NewestLog(), "网络异常，登陆失败！");
}

TEST_F(LogonTest, EmptyCredentialsAskForInputWithoutARequest) {
    ClientHarness h(Config());
    h.client->StartClient(false);
    Type(h, "   ", "pw");
    h.client->BtnLogonClick();
    Type(h, "demo", " ");
    h.client->BtnLogonClick();
    EXPECT_EQ(h.view.focus, (std::vector<EditBox>{EditBox::UserName, EditBox::Password}));
    EXPECT_EQ(h.NewestLog(), "请先输入用户名和密码！");
    EXPECT_TRUE(live.service.requests().empty());
}

TEST_F(LogonTest, CredentialsGoOutExactlyAsTyped) {
    ClientHarness h(Config());
    h.client->StartClient(false);
    Type(h, "demo", "  demo123");
    h.client->BtnLogonClick();
    const auto requests = live.service.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_NE(requests[0].body.find("<UserPwd>  demo123</UserPwd>"), std::string::npos)
        << requests[0].body;
}

TEST_F(LogonTest, DomainListErrorsReachTheLog) {
    ClientHarness h(Config());
    h.client->StartClient(false);
    Type(h, "demo", "demo123");
    live.service.setFault(Exchange::ServiceList, FaultWith(0, 0, "101"));
    h.client->BtnLogonClick();
    ASSERT_TRUE(h.RunUntil([&] { return h.LogHas("服务器返回：未知错误"); }));
    EXPECT_EQ(h.client->View().Domains, nullptr);
}

TEST_F(LogonTest, RefreshFetchesAgainWithTheSavedCredentials) {
    ClientHarness h(Config());
    h.client->StartClient(false);
    Type(h, "demo", "demo123");
    h.client->BtnLogonClick();
    h.client->Action3();  // logoff frees the list
    ASSERT_EQ(h.client->Session().ServiceList(), nullptr);
    h.client->BtnRefreshDomainInfoClick();
    EXPECT_NE(h.client->Session().ServiceList(), nullptr);

    live.service.setFault(Exchange::ServiceList, FaultWith(0, 0, "1"));
    h.client->BtnRefreshDomainInfoClick();
    ASSERT_EQ(h.view.messageBoxes.size(), 1u);
    EXPECT_EQ(h.view.messageBoxes[0], "服务器返回：未知错误")
        << "code 1 from the service has no text";
    live.service.stop();
    h.client->BtnRefreshDomainInfoClick();
    EXPECT_EQ(h.view.messageBoxes.back(), "连接服务器异常！");
}

TEST_F(LogonTest, UploadTimerStartsOneUploadAtTheFirstTickWhileLoggedOn) {
    int uploads = 0;
    ClientHooks hooks;
    hooks.startSysInfoUpload = [&] { ++uploads; };
    ClientHarness h(Config(), hooks);
    h.client->StartClient(false);
    h.client->OnTimerUpdateSysInfo();  // logged off: nothing, the timer goes on
    EXPECT_EQ(uploads, 0);
    EXPECT_TRUE(h.client->UpdateSysInfoTimerEnabled());
    Type(h, "demo", "demo123");
    h.client->BtnLogonClick();
    h.client->OnTimerUpdateSysInfo();
    EXPECT_EQ(uploads, 1);
    EXPECT_FALSE(h.client->UpdateSysInfoTimerEnabled());

    ClientHarness refused(Config(), hooks);
    refused.client->StartClient(false);
    refused.client->View().suiCheckBoxUpdateSysInfo = false;
    Type(refused, "demo", "demo123");
    refused.client->BtnLogonClick();
    refused.client->OnTimerUpdateSysInfo();
    EXPECT_EQ(uploads, 1) << "not allowed";
    EXPECT_FALSE(refused.client->UpdateSysInfoTimerEnabled()) << "switched off all the same";
}

}  // namespace
}  // namespace vorta
