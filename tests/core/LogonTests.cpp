// Manual logon and logoff against the development service.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "ClientHarness.h"
#include "protocol/ResultCodes.h"

namespace vorta {
namespace {

using devservice::Exchange;
using test::ClientHarness;
using test::FaultWith;
using test::LiveService;
using namespace std::chrono_literals;

// A loopback listener that never answers: the kernel completes each connection into the
// backlog and the request waits there unread.
class SilentPeer {
public:
    SilentPeer() : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof addr;
        auto* any = reinterpret_cast<sockaddr*>(&addr);
        EXPECT_EQ(::bind(fd_, any, size), 0);
        EXPECT_EQ(::listen(fd_, 8), 0);
        EXPECT_EQ(::getsockname(fd_, any, &size), 0);
        port_ = ntohs(addr.sin_port);
    }
    ~SilentPeer() { ::close(fd_); }
    SilentPeer(const SilentPeer&) = delete;
    SilentPeer& operator=(const SilentPeer&) = delete;
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/exchange/"; }

private:
    int fd_;
    int port_ = 0;
};

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
    ASSERT_TRUE(h.Logon());
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
        ASSERT_TRUE(h.Logon());
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
    ASSERT_TRUE(h.Logon());
    EXPECT_FALSE(h.client->LoggedOn());
    EXPECT_EQ(LastErrorCode(), 1);
    EXPECT_TRUE(h.LogHas("登陆失败,原因: 连接服务器异常！"));
    EXPECT_EQ(h.NewestLog(), "网络异常，登陆失败！");
    EXPECT_EQ(h.client->View().BtnLogonCaption, "登陆");
    EXPECT_EQ(h.store.values["UserName"], "demo") << "the logged-off transition saves";

    live.service.stop();
    ASSERT_TRUE(h.Logon());
    EXPECT_EQ(h.NewestLog(), "网络异常，登陆失败！");
}

TEST_F(LogonTest, EmptyCredentialsAskForInputWithoutARequest) {
    ClientHarness h(Config());
    h.client->StartClient(false);
    Type(h, "   ", "pw");
    ASSERT_TRUE(h.Logon());
    Type(h, "demo", " ");
    ASSERT_TRUE(h.Logon());
    EXPECT_EQ(h.view.focus, (std::vector<EditBox>{EditBox::UserName, EditBox::Password}));
    EXPECT_EQ(h.NewestLog(), "请先输入用户名和密码！");
    EXPECT_TRUE(live.service.requests().empty());
}

TEST_F(LogonTest, CredentialsGoOutExactlyAsTyped) {
    ClientHarness h(Config());
    h.client->StartClient(false);
    Type(h, "demo", "  demo123");
    ASSERT_TRUE(h.Logon());
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
    ASSERT_TRUE(h.Logon());
    ASSERT_TRUE(h.RunUntil([&] { return h.LogHas("服务器返回：未知错误"); }));
    EXPECT_EQ(h.client->View().Domains, nullptr);
}

TEST_F(LogonTest, RefreshFetchesAgainWithTheSavedCredentials) {
    ClientHarness h(Config());
    h.client->StartClient(false);
    Type(h, "demo", "demo123");
    ASSERT_TRUE(h.Logon());
    h.client->Action3();  // logoff frees the list
    ASSERT_EQ(h.client->Session().ServiceList(), nullptr);
    ASSERT_TRUE(h.Refresh());
    EXPECT_NE(h.client->Session().ServiceList(), nullptr);

    live.service.setFault(Exchange::ServiceList, FaultWith(0, 0, "1"));
    ASSERT_TRUE(h.Refresh());
    ASSERT_EQ(h.view.messageBoxes.size(), 1u);
    EXPECT_EQ(h.view.messageBoxes[0], "服务器返回：未知错误")
        << "code 1 from the service has no text";
    live.service.stop();
    ASSERT_TRUE(h.Refresh());
    EXPECT_EQ(h.view.messageBoxes.back(), "连接服务器异常！");
}

TEST_F(LogonTest, TheLoopRunsOnWhileALogonWaitsAndShutdownCutsItShort) {
    SilentPeer peer;
    ClientConfig config = Config();
    config.serviceUrl = peer.Url();
    ClientHarness h(config);
    h.client->StartClient(false);
    Type(h, "demo", "demo123");
    h.client->BtnLogonClick();
    ASSERT_TRUE(h.client->LogonInProgress());
    EXPECT_FALSE(h.client->View().BtnLogonEnabled);
    EXPECT_FALSE(h.client->View().EditsEnabled);

    bool posted = false;
    int ticks = 0;
    h.loop.Post(ClientEvent([&] { posted = true; }));
    h.loop.AddTimer(
        20ms, [&] { ++ticks; }, true);
    ASSERT_TRUE(h.RunUntil([&] { return posted && ticks >= 3; }, 2s));
    EXPECT_TRUE(h.client->LogonInProgress()) << "the peer never answered";
    EXPECT_EQ(h.view.beeps, 0);

    const auto start = std::chrono::steady_clock::now();
    h.client->Shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_FALSE(h.client->LoggedOn());
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
    ASSERT_TRUE(h.Logon());
    h.client->OnTimerUpdateSysInfo();
    EXPECT_EQ(uploads, 1);
    EXPECT_FALSE(h.client->UpdateSysInfoTimerEnabled());

    ClientHarness refused(Config(), hooks);
    refused.client->StartClient(false);
    refused.client->View().suiCheckBoxUpdateSysInfo = false;
    Type(refused, "demo", "demo123");
    ASSERT_TRUE(refused.Logon());
    refused.client->OnTimerUpdateSysInfo();
    EXPECT_EQ(uploads, 1) << "not allowed";
    EXPECT_FALSE(refused.client->UpdateSysInfoTimerEnabled()) << "switched off all the same";
}

}  // namespace
}  // namespace vorta
