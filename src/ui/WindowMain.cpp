// vorta-window: the client with its window and tray icon, on the desktop of the user who starts
// it. It takes the same options as `vorta` for a client run.

#include <QApplication>
#include <QMessageBox>
#include <iostream>

#include "app/CommandLine.h"
#include "host/ChannelProtocol.h"
#include "host/ClientHost.h"
#include "ui/LoopDriver.h"
#include "ui/MainFrm.h"
#include "ui/QtClientView.h"

namespace {

using namespace vorta;

constexpr const char* kServiceRuns =
    "Vorta客户端已经以系统服务方式运行，本窗口不能再启动。请通过 vorta status 查看它的状态。";

// True when the system service runs (on its own data dir), or the client that holds this data
// dir runs as a service: its window would not be on this desktop.
bool ServiceRuns(host::HostPlatform& platform) {
    if (platform.services->IsServiceRunning(platform::kServiceName)) return true;
    const auto identity = host::AskIdentity(*platform.channel);
    return identity && identity->service;
}

// The options' configuration with what the test hooks allow.
ClientConfig RunConfig(const app::CommandLine& cl) {
    ClientConfig config = app::ConfigFrom(cl, false);
    host::ApplyTestSettings(config);
    return config;
}

int Run(const app::CommandLine& cl) {
    const std::filesystem::path dataDir =
        cl.dataDir ? std::filesystem::path(*cl.dataDir) : host::DefaultDataDir();
    const auto platform = host::MakePlatform(dataDir);
    const QString caption = QString::fromUtf8(kMessageCaption);
    if (ServiceRuns(*platform)) {
        std::cerr << "vorta-window: " << kServiceRuns << "\n";
        QMessageBox::information(nullptr, caption, QString::fromUtf8(kServiceRuns));
        return 0;
    }
    ui::TQtClientView view;
    host::ClientHost run(*platform, RunConfig(cl), view, false);
    ui::TMainFrm window(
        run.Client(),
        ui::MainFrmContext{
            platform->network.get(), platform->ras.get(), platform->facts.get(), {}, {}});
    view.Attach(&window);
    ui::TLoopDriver driver(run.Loop());
    std::string refusal;
    int code = 0;
    switch (run.Start(refusal)) {
        case host::ClientHost::Outcome::OtherShown:
            break;
        case host::ClientHost::Outcome::Refused:
            std::cerr << "vorta-window: " << refusal << "\n";
            QMessageBox::warning(nullptr, caption, QString::fromStdString(refusal));
            code = 1;
            break;
        case host::ClientHost::Outcome::Started:
            code = QApplication::exec();
            break;
    }
    // Every thread of the run is joined before the window and the driver go.
    run.Stop();
    view.Attach(nullptr);
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
    // The client lives in the tray: a hidden window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    const QStringList qtArgs = QApplication::arguments();  // Qt's own options removed
    std::vector<std::string> args;
    for (qsizetype i = 1; i < qtArgs.size(); ++i) args.push_back(qtArgs[i].toStdString());
    app::CommandLine cl;
    try {
        cl = app::ParseCommandLine(args);
        if (cl.command != app::Command::Run || cl.service ||
            cl.serviceSwitch != ServiceSwitch::None)
            throw std::invalid_argument(
                "vorta-window only runs the client; use vorta for the rest");
    } catch (const std::invalid_argument& e) {
        std::cerr << "vorta-window: " << e.what() << "\n";
        return 2;
    }
    try {
        return Run(cl);
    } catch (const std::exception& e) {
        std::cerr << "vorta-window: " << e.what() << "\n";
        return 1;
    }
}
