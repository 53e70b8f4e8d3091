// The main window's logon and logoff looks, its menu's pages, a silent service, and where the
// window goes when it is closed.

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <fstream>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include "ClientHarness.h"
#include "WindowHarness.h"
#include "ui/AnimateHint.h"

namespace vorta::test {
namespace {

QString Q(const char* text) {
    return QString::fromUtf8(text);
}

// A service that takes connections into its backlog and never answers; the port, or 0.
class SilentService {
public:
    SilentService() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            ::listen(fd_, 8) == 0 &&
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~SilentService() {
        if (fd_ >= 0) ::close(fd_);
    }
    int Port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

ClientConfig WithUrl(std::string url) {
    ClientConfig config;
    config.serviceUrl = std::move(url);
    return config;
}

// What the notification on screen says; empty without one.
QString HintText() {
    ui::TFAnimateHint* hint = ui::TFAnimateHint::Current();
    if (!hint) return {};
    for (auto* label : hint->findChildren<QLabel*>())
        if (label->wordWrap()) return label->text();
    return {};
}

TEST(MainFrmLogon, ANotificationDuringTheSlideDownFollowsIt) {
    WindowHarness w;
    w.window->ShowHintWindow(Q("登陆失败,原因: 密码错误！"));
    ui::TFAnimateHint* first = ui::TFAnimateHint::Current();
    ASSERT_NE(first, nullptr);
    while (first->ScrollingUp()) first->TickScrollUp();
    first->TickDelay();
    ASSERT_TRUE(first->ScrollingDown());
    w.window->ShowHintWindow(Q("线路已连接"));
    w.window->ShowHintWindow(Q("线路已连接"));  // the same again is not queued twice
    EXPECT_EQ(HintText(), Q("登陆失败,原因: 密码错误！")) << "the reason on screen was replaced";
    QPointer<ui::TFAnimateHint> gone(first);
    while (gone && gone->ScrollingDown()) gone->TickScrollDown();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(gone.isNull());
    ASSERT_NE(ui::TFAnimateHint::Current(), nullptr) << "the second notification was lost";
    EXPECT_EQ(HintText(), Q("线路已连接"));
    ui::TFAnimateHint::Current()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(ui::TFAnimateHint::Current(), nullptr) << "it was queued twice";
}

TEST(MainFrmLogon, LogonThenLogoffAgainstTheDevelopmentService) {
    LiveService live;
    WindowHarness w(live.FastConfig());
    auto* logon = w.Find<QPushButton>("BtnLogon");
    auto* user = w.Find<QLineEdit>("EditUserName");
    auto* password = w.Find<QLineEdit>("EditPassword");
    auto* startup = w.Find<QCheckBox>("ChkBoxStartup");
    auto* asService = w.Find<QCheckBox>("ChkBoxRunAsService");
    auto* action2 = w.Find<QAction>("Action2");
    auto* action3 = w.Find<QAction>("Action3");

    // Logged off at start.
    EXPECT_EQ(w.window->windowTitle(), Q("Vorta V1.0"));
    EXPECT_EQ(w.window->size(), QSize(568, 335));
    EXPECT_EQ(w.Find<QLabel>("TitleCaption")->text(), Q("---:: Vorta V1.0 ::---"));
    EXPECT_EQ(w.Find<QToolButton>("SBtnMin")->toolTip(), Q("最小化"));
    EXPECT_EQ(w.Find<QToolButton>("SBtnClose")->toolTip(), Q("关闭"));
    EXPECT_TRUE(w.window->isVisible());  // no remembered password: shown at start
    EXPECT_EQ(logon->text(), Q("登录"));
    EXPECT_TRUE(user->isEnabled());
    EXPECT_FALSE(startup->isEnabled());
    EXPECT_FALSE(asService->isEnabled());
    EXPECT_TRUE(action2->isEnabled());
    EXPECT_FALSE(action3->isEnabled());
    EXPECT_EQ(w.window->Tray()->toolTip(), Q("Vorta客户端 V1.0 -- 未连接网络"));
    EXPECT_EQ(w.Find<QAction>("ActionExitNABU_TIM")->shortcut(),
              QKeySequence(Qt::CTRL | Qt::Key_Q));

    // Empty credentials: no exchange, the focus goes to the missing box.
    QTest::keyClicks(user, "demo");
    logon->click();
    EXPECT_EQ(w.client->Log()[0].Text, "请先输入用户名和密码！");
    ASSERT_NE(ui::TFAnimateHint::Current(), nullptr);
    EXPECT_EQ(ui::TFAnimateHint::Current()->width(), 182);

    // Enter in the password box logs on as the button does.
    QTest::keyClicks(password, "demo123");
    QTest::keyClick(password, Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return logon->text() == Q("注销"); }));
    EXPECT_FALSE(user->isEnabled());
    EXPECT_FALSE(password->isEnabled());
    EXPECT_TRUE(startup->isEnabled());
    EXPECT_TRUE(asService->isEnabled());
    EXPECT_FALSE(action2->isEnabled());
    EXPECT_TRUE(action3->isEnabled());
    EXPECT_EQ(w.window->Tray()->toolTip(), Q("Vorta客户端 V1.0 -- 已登录"));
    EXPECT_EQ(w.store.values["UserName"], "demo");

    // The domain list follows and the root is selected.
    auto* tree = w.Find<QTreeWidget>("TreeViewDNS");
    ASSERT_TRUE(WaitUntil([&] { return tree->topLevelItemCount() == 1; }));
    EXPECT_EQ(tree->topLevelItem(0)->text(0), Q("域名列表"));
    EXPECT_EQ(tree->topLevelItem(0)->child(0)->text(0), Q("demo.vorta.example"));
    EXPECT_EQ(tree->topLevelItem(0)->child(0)->child(1)->text(0), Q("mail"));
    EXPECT_EQ(w.Find<QLabel>("lab1")->text(), Q("共 2 个域名。"));

    // Logoff through the menu.
    action3->trigger();
    EXPECT_EQ(logon->text(), Q("登陆"));
    EXPECT_TRUE(user->isEnabled());
    EXPECT_FALSE(startup->isEnabled());
    EXPECT_EQ(w.window->Tray()->toolTip(), Q("Vorta客户端 V1.0 -- 未登录"));
    EXPECT_EQ(tree->topLevelItemCount(), 0);
    EXPECT_EQ(w.Find<QLabel>("lab1")->text(), QString());
    EXPECT_EQ(w.Find<QLabel>("lab7")->text(), Q("-"));
    EXPECT_EQ(w.client->Log()[0].Text, "注销成功！");
}

TEST(MainFrmLogon, MenuActionsOpenTheServicePages) {
    WindowHarness w(WithUrl("http://127.0.0.1:18080/vorta/xml"));
    const std::pair<const char*, const char*> pages[] = {
        {"ActionReg", "/client?101"},   {"ActionJSZC", "/client?201"},
        {"ActionYMZC", "/client?102"},  {"ActionYMZR", "/client?202"},
        {"ActionJSJLQ", "/client?203"}, {"ActionZZFU", "/client?205"},
        {"Action10", "/client?107"},    {"ActionModPwd", "/client?105"},
        {"Action11", "/client?106"},    {"Action13", "/client?206"},
        {"ActionFKXZ", "/client?204"}};
    for (const auto& [action, path] : pages) {
        w.opened.clear();
        w.Find<QAction>(action)->trigger();
        EXPECT_EQ(w.opened, QStringList{QString("http://127.0.0.1:18080") + path}) << action;
    }
    w.opened.clear();
    w.Find<QAction>("ActionHelpContent")->trigger();  // no help file yet: nothing, no error
    EXPECT_TRUE(w.opened.isEmpty());
    std::ofstream(w.HelpFile()) << "<html></html>";
    w.Find<QAction>("ActionHelpContent")->trigger();
    EXPECT_EQ(
        w.opened,
        QStringList{QUrl::fromLocalFile(QString::fromStdString(w.HelpFile().string())).toString()});
    w.opened.clear();
    w.Find<QPushButton>("BtnRegisterWizard")->click();
    QTest::mouseClick(w.Find<QLabel>("Label1"), Qt::LeftButton);
    QTest::mouseClick(w.Find<QLabel>("LabelWhy"), Qt::LeftButton);
    QTest::mouseClick(w.Find<QLabel>("Label1Protol"), Qt::LeftButton);
    w.Find<QAction>("Action12")->trigger();
    EXPECT_EQ(w.opened,
              (QStringList{"http://127.0.0.1:18080/client?101", "http://127.0.0.1:18080/client?103",
                           "http://127.0.0.1:18080/client?208", "http://127.0.0.1:18080/client?207",
                           "mailto:support@127.0.0.1"}));
    EXPECT_EQ(w.Find<QLabel>("Label1Protol")->text(), Q("查阅NABU\"协议\""));
    EXPECT_EQ(w.Find<QLabel>("LabelWhy")->toolTip(), Q("http://127.0.0.1:18080/client?208"));
}

TEST(MainFrmLogon, ASilentServiceLeavesTheWindowResponsive) {
    SilentService silent;
    ASSERT_NE(silent.Port(), 0);
    WindowHarness w(WithUrl("http://127.0.0.1:" + std::to_string(silent.Port()) + "/xml"));
    QTest::keyClicks(w.Find<QLineEdit>("EditUserName"), "demo");
    QTest::keyClicks(w.Find<QLineEdit>("EditPassword"), "demo123");
    auto* logon = w.Find<QPushButton>("BtnLogon");
    const auto before = std::chrono::steady_clock::now();
    logon->click();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
    ASSERT_TRUE(w.client->LogonInProgress());
    EXPECT_FALSE(logon->isEnabled());
    EXPECT_FALSE(w.Find<QLineEdit>("EditPassword")->isEnabled());

    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(20);
    EXPECT_TRUE(WaitUntil([&] { return ticks >= 5; }, std::chrono::seconds(2)));
    EXPECT_TRUE(w.client->LogonInProgress());  // still waiting on the service
    // The window still takes the user's actions meanwhile.
    w.Find<QTabWidget>("PageControl1")->setCurrentIndex(3);
    w.window->MenuItem2Click();
    EXPECT_EQ(w.Find<QTabWidget>("PageControl1")->currentIndex(), 3);
}

TEST(MainFrmLogon, ClosingKeepsTheClientWithinReach) {
    WindowHarness w;
    ASSERT_TRUE(w.window->isVisible());
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());  // offscreen: no tray
    EXPECT_FALSE(w.window->close());                         // refused: the client lives on
    EXPECT_TRUE(w.window->isMinimized());
    EXPECT_TRUE(w.window->isVisible());

    w.window->ToggleFromTray();
    EXPECT_FALSE(w.window->isMinimized());
    w.Find<QToolButton>("SBtnClose")->click();
    EXPECT_TRUE(w.window->isMinimized());
    w.window->ShowMainFromHint();
    EXPECT_FALSE(w.window->isMinimized());
    w.Find<QToolButton>("SBtnMin")->click();
    EXPECT_TRUE(w.window->isMinimized());

    // The tray menu's log item shows the window on the log page.
    w.window->MenuItem2Click();
    EXPECT_FALSE(w.window->isMinimized());
    EXPECT_EQ(w.Find<QTabWidget>("PageControl1")->currentIndex(), 3);
    EXPECT_EQ(w.window->Tray()->contextMenu()->actions().size(), 5);
    EXPECT_EQ(w.window->Tray()->contextMenu()->actions()[2]->text(), Q("日        志(&L)"));
}

TEST(MainFrmLogon, TheExitActionAndAStopRequestEndTheApplication) {
    WindowHarness w;
    auto* exit = w.window->Tray()->contextMenu()->findChild<QAction*>("pmExitClient");
    ASSERT_NE(exit, nullptr);
    QTimer::singleShot(0, exit, &QAction::trigger);
    QTimer guard;  // ends a loop that nothing else ended; gone with the test
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QApplication::exit(9); });
    guard.start(5000);
    EXPECT_EQ(QApplication::exec(), 0);

    // The OS's stop request reaches the loop on another thread.
    QTimer::singleShot(0, [&] { std::jthread([&] { w.loop.Quit(); }); });
    guard.start(5000);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(w.window->isVisible());  // the window was never asked to close
}

}  // namespace
}  // namespace vorta::test
