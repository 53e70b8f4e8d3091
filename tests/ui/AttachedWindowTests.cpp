// The window as the face of a client in service mode that runs beside it: what it shows, what
// its buttons do there, the service's notifications, and a restart of the service.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTreeWidget>
#include <thread>

#include "ServiceRun.h"
#include "TempDir.h"
#include "WindowHarness.h"
#include "host/ChannelProtocol.h"
#include "host/RemoteFace.h"
#include "lines/LineInfo.h"
#include "ui/AnimateHint.h"
#include "ui/WindowSession.h"

namespace vorta::test {
namespace {

QString Q(const char* text) {
    return QString::fromUtf8(text);
}

// The window over a face of the client on `dir`, as vorta-window makes it.
struct AttachedWindow {
    explicit AttachedWindow(const std::filesystem::path& dir) {
        EnsureApplication();
        face = std::make_unique<host::RemoteFace>(
            host::OpenChannel(dir), view, [this](std::function<void()> call) {
                QMetaObject::invokeMethod(&poster, std::move(call), Qt::QueuedConnection);
            });
        window = std::make_unique<ui::TMainFrm>(*face, ui::MainFrmContext{});
        view.Attach(window.get());
        face->Start();
    }
    ~AttachedWindow() {
        face.reset();
        view.Attach(nullptr);
    }
    template <typename T>
    T* Find(const char* name) const {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    // True once the sliding notification shows `text`.
    static bool HintShows(const QString& text) {
        ui::TFAnimateHint* hint = ui::TFAnimateHint::Current();
        if (!hint) return false;
        for (QLabel* label : hint->findChildren<QLabel*>())
            if (label->text() == text) return true;
        return false;
    }

    QObject poster;
    ui::TQtClientView view;
    std::unique_ptr<host::RemoteFace> face;
    std::unique_ptr<ui::TMainFrm> window;
};

TEST(AttachedWindow, ShowsAndDrivesAServiceModeClientAcrossItsRestart) {
    LiveService live;
    TempDir dir;
    const auto data = dir.path() / "svc";
    StoreDemoAccount(data);
    {
        TLineInfo lan;
        lan.MasterGroup = true;
        lan.LineKind = 3;
        lan.EntryName = "vorta-test0";
        lan.LineID = "1";
        WriteLinesFile(data / kLinesFileName, {lan});
    }
    auto service = std::make_unique<ServiceRun>(data, live);
    AttachedWindow w(data);
    auto* logon = w.Find<QPushButton>("BtnLogon");
    auto* password = w.Find<QLineEdit>("EditPassword");
    auto* lines = w.Find<QTreeWidget>("ListViewLine");

    // The client logs on by itself: the window shows its state, its line and its domains.
    ASSERT_TRUE(WaitUntil([&] { return logon->text() == Q("注销"); }));
    EXPECT_EQ(w.window->Tray()->toolTip(), Q("Vorta客户端 V1.0 -- 已登录"));
    ASSERT_TRUE(WaitUntil([&] { return lines->topLevelItemCount() == 1; }));
    EXPECT_EQ(lines->topLevelItem(0)->text(2), Q("vorta-test0"));
    auto* tree = w.Find<QTreeWidget>("TreeViewDNS");
    ASSERT_TRUE(WaitUntil([&] { return tree->topLevelItemCount() == 1; }));
    EXPECT_EQ(tree->topLevelItem(0)->child(0)->text(0), Q("demo.vorta.example"));
    // The stored password never reaches the window.
    EXPECT_TRUE(password->text().isEmpty());

    // Its buttons act on the service: logoff, with the service's notification...
    logon->click();
    ASSERT_TRUE(WaitUntil([&] { return logon->text() == Q("登陆"); }));
    EXPECT_FALSE(service->LoggedOn());
    EXPECT_TRUE(WaitUntil([] { return AttachedWindow::HintShows(Q("注销成功！")); }));
    EXPECT_EQ(w.window->Tray()->toolTip(), Q("Vorta客户端 V1.0 -- 未登录"));
    // ...and logon again with the service's own password behind the empty box.
    logon->click();
    ASSERT_TRUE(WaitUntil([&] { return logon->text() == Q("注销"); }));
    EXPECT_TRUE(service->LoggedOn());
    EXPECT_TRUE(WaitUntil([] { return AttachedWindow::HintShows(Q("登陆成功！")); }));

    // The service stops: the window shows it is not connected, and comes back with it.
    service.reset();
    ASSERT_TRUE(WaitUntil(
        [&] { return w.window->Tray()->toolTip() == Q("Vorta客户端 V1.0 -- 未连接网络"); }));
    EXPECT_EQ(lines->topLevelItemCount(), 0);
    EXPECT_FALSE(logon->isEnabled());
    service = std::make_unique<ServiceRun>(data, live);
    ASSERT_TRUE(WaitUntil([&] { return logon->text() == Q("注销"); }, std::chrono::seconds(15)));
    EXPECT_TRUE(logon->isEnabled());
    EXPECT_EQ(lines->topLevelItemCount(), 1);

    // The exit action asks: closing the window alone leaves the service be; stopping it asks
    // the service manager to stop the service.
    bool closed = false;
    w.window->CloseProgram = [&] { closed = true; };
    auto* exit = w.Find<QAction>("ActionExitNABU_TIM");
    w.window->AskExit = [] { return ui::TMainFrm::ExitChoice::Cancel; };
    exit->trigger();
    w.window->AskExit = [] { return ui::TMainFrm::ExitChoice::CloseWindow; };
    exit->trigger();
    EXPECT_TRUE(closed);
    EXPECT_TRUE(service->LoggedOn());
    w.window->AskExit = [] { return ui::TMainFrm::ExitChoice::StopService; };
    exit->trigger();
    EXPECT_TRUE(WaitUntil([&] { return service->StopCalls() == 1; }));
}

// The system's service manager as the window's own client sees it: the service exists while the
// install run's ServiceRun does.
class SwitchedServices : public platform::IServiceManager {
public:
    std::atomic<bool> installed{false};
    bool IsServiceInstalled(std::string_view) override { return installed; }
    bool IsServiceRunning(std::string_view) override { return installed; }
    bool IsServiceAccount() override { return false; }
    void InstallService(const platform::ServiceDefinition&) override {}
    void UninstallService(std::string_view) override {}
    void StartInstalledService(std::string_view) override {}
    bool StopOwnService(std::stop_token) override { return false; }
};

TEST(AttachedWindow, TheServiceBoxSwitchesTheWindowBetweenItsClientAndTheService) {
    LiveService live;
    TempDir dir;
    const auto own = dir.path() / "own";
    const auto system = dir.path() / "system";
    ::setenv("VORTA_SYSTEM_DATA_DIR", system.c_str(), 1);
    auto platform = host::MakePlatform(own);
    platform->watchStopRequests = nullptr;
    auto services = std::make_unique<SwitchedServices>();
    SwitchedServices& registered = *services;
    platform->services = std::move(services);
    // The install run: the service takes the account and starts on the system's data dir; the
    // uninstall run stops and removes it.
    std::unique_ptr<ServiceRun> service;
    std::mutex serviceLock;
    platform->installService = [&](bool install) {
        std::lock_guard guard(serviceLock);
        if (install) {
            const auto settings = host::OpenSettings(system);
            settings->WriteSetting("UserName", "demo");
            settings->WriteSetting("UserPwd", "demo123");
            service = std::make_unique<ServiceRun>(system, live);
        } else {
            service.reset();
        }
        registered.installed = install;
        return true;
    };
    EnsureApplication();
    ui::TWindowSession session(*platform, live.FastConfig());
    std::string refusal;
    ASSERT_EQ(session.Start(refusal), ui::TWindowSession::Outcome::Shown) << refusal;
    ui::TMainFrm& window = session.Window();
    auto* logon = window.findChild<QPushButton*>(QStringLiteral("BtnLogon"));
    auto* asService = window.findChild<QCheckBox*>(QStringLiteral("ChkBoxRunAsService"));
    const auto ownAnswers = [&] {
        return host::OpenChannel(own)
            ->Ask(host::EncodeRequest({host::RequestKind::Identify}))
            .has_value();
    };

    // The window's own client logs on; ticking the box installs the service, and the window
    // becomes its face without a restart while its own client ends.
    EXPECT_FALSE(window.Face().Attached());
    QTest::keyClicks(window.findChild<QLineEdit*>(QStringLiteral("EditUserName")), "demo");
    QTest::keyClicks(window.findChild<QLineEdit*>(QStringLiteral("EditPassword")), "demo123");
    logon->click();
    ASSERT_TRUE(WaitUntil([&] { return logon->text() == Q("注销"); }));
    ASSERT_TRUE(asService->isEnabled());
    asService->click();
    ASSERT_TRUE(WaitUntil([&] { return window.Face().Attached(); }));
    ASSERT_TRUE(WaitUntil([&] { return logon->text() == Q("注销") && asService->isChecked(); }));
    EXPECT_FALSE(ownAnswers());

    // Unticking it in the attached window removes the service; the window runs its own client.
    ASSERT_TRUE(WaitUntil([&] { return asService->isEnabled(); }));
    asService->click();
    ASSERT_TRUE(WaitUntil([&] { return !window.Face().Attached(); }));
    EXPECT_FALSE(registered.installed);
    {
        std::lock_guard guard(serviceLock);
        EXPECT_EQ(service, nullptr);
    }
    EXPECT_TRUE(WaitUntil(ownAnswers));
    ::unsetenv("VORTA_SYSTEM_DATA_DIR");
}

}  // namespace
}  // namespace vorta::test
