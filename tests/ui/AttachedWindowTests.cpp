// The window as the face of a client in service mode that runs beside it: what it shows, what
// its buttons do there, the service's notifications, and a restart of the service.

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTreeWidget>
#include <thread>

#include "ClientHarness.h"
#include "TempDir.h"
#include "WindowHarness.h"
#include "app/HeadlessView.h"
#include "host/ClientHost.h"
#include "host/HostPlatform.h"
#include "host/RemoteFace.h"
#include "lines/LineInfo.h"
#include "ui/AnimateHint.h"

namespace vorta::test {
namespace {

QString Q(const char* text) {
    return QString::fromUtf8(text);
}

// A client in service mode on `dir`, on a thread of its own, as `vorta --service` runs it.
class ServiceRun {
public:
    ServiceRun(const std::filesystem::path& dir, const LiveService& live) {
        platform_ = host::MakePlatform(dir);
        platform_->watchStopRequests = nullptr;  // the test's own signals stay its own
        ClientConfig config = live.FastConfig();
        config.headless = true;
        run_ = std::make_unique<host::ClientHost>(*platform_, config, view_, true);
        view_.Attach(&run_->Client(), [this] { run_->Quit(); });
        std::string refusal;
        started_ = run_->Start(refusal) == host::ClientHost::Outcome::Started;
        EXPECT_TRUE(started_) << refusal;
        if (started_) thread_ = std::jthread([this] { run_->Run(); });
    }
    ~ServiceRun() {
        if (started_) run_->Quit();
        if (thread_.joinable()) thread_.join();
        run_->Stop();
    }
    bool LoggedOn() const { return run_->Client().LoggedOn(); }

private:
    std::ostringstream log_;
    app::HeadlessView view_{log_};
    std::unique_ptr<host::HostPlatform> platform_;
    std::unique_ptr<host::ClientHost> run_;
    bool started_ = false;
    std::jthread thread_;
};

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
    {
        const auto settings = host::OpenSettings(data);
        settings->WriteSetting("UserName", "demo");
        settings->WriteSetting("UserPwd", "demo123");
        settings->WriteSetting("AutoLogon", "1");
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
    ASSERT_TRUE(WaitUntil([&] {
        return w.window->Tray()->toolTip() == Q("Vorta客户端 V1.0 -- 未连接网络");
    }));
    EXPECT_EQ(lines->topLevelItemCount(), 0);
    EXPECT_FALSE(logon->isEnabled());
    service = std::make_unique<ServiceRun>(data, live);
    ASSERT_TRUE(WaitUntil([&] { return logon->text() == Q("注销"); }, std::chrono::seconds(15)));
    EXPECT_TRUE(logon->isEnabled());
    EXPECT_EQ(lines->topLevelItemCount(), 1);
}

}  // namespace
}  // namespace vorta::test
