// vorta-window: the client with its window and tray icon, on the desktop of the user who starts
// it. It takes the same options as `vorta` for a client run.

#include <QApplication>
#include <QMessageBox>
#include <cstdlib>
#include <iostream>
#include <optional>

#include "app/CommandLine.h"
#include "host/ChannelProtocol.h"
#include "host/ClientHost.h"
#include "host/RemoteFace.h"
#include "sysinfo/SysInfo.h"
#include "ui/LoopDriver.h"
#include "ui/MainFrm.h"
#include "ui/QtClientView.h"

namespace {

using namespace vorta;

// Where the client this window should be the face of runs, when that is not a client of its own:
// the system service's data dir while the service runs, or this data dir when its client runs in
// service mode (or runs where this user may not reach it).
std::optional<std::filesystem::path> AttachTo(host::HostPlatform& platform) {
    if (platform.services->IsServiceRunning(platform::kServiceName)) return host::SystemDataDir();
    const auto reply = platform.channel->Request(host::EncodeRequest({host::RequestKind::Identify}),
                                                 host::WaitFor(host::RequestKind::Identify));
    if (reply.outcome == platform::ChannelReply::Outcome::Denied) return platform.dataDir;
    if (reply.outcome != platform::ChannelReply::Outcome::Answered) return std::nullopt;
    const auto identity = host::DecodeIdentity(reply.text);
    if (identity && identity->service) return platform.dataDir;
    return std::nullopt;
}

std::string UserName() {
    const char* user = std::getenv("USER");
    return user && *user ? user : "$USER";
}

ui::MainFrmContext WindowContext(host::HostPlatform& platform) {
    return ui::MainFrmContext{
        platform.network.get(), platform.ras.get(), platform.facts.get(), {}, {}};
}

// The window as the face of the client on `dir`, until the user closes the window program.
int RunAttached(const std::filesystem::path& dir, host::HostPlatform& platform) {
    ui::TQtClientView view;
    QObject poster;  // what the face posts runs on this thread
    host::RemoteFace face(
        host::OpenChannel(dir), view,
        [&poster](std::function<void()> call) {
            QMetaObject::invokeMethod(&poster, std::move(call), Qt::QueuedConnection);
        },
        [&platform] {
            return std::make_unique<TSysInfo>(platform.network.get(), TConnectionLookup{},
                                              platform.facts.get());
        });
    ui::TMainFrm window(face, WindowContext(platform));
    view.Attach(&window);
    int code = 0;
    face.onLink = [&](host::RemoteFace::Link link) {
        if (link == host::RemoteFace::Link::Connected)
            std::cerr << "vorta-window: attached to the client on " << dir.string() << "\n";
        if (link == host::RemoteFace::Link::Away)
            std::cerr << "vorta-window: no client answers on " << dir.string()
                      << "; waiting for it\n";
        if (link != host::RemoteFace::Link::Denied) return;
        const std::string text = host::DeniedText(dir, UserName());
        std::cerr << "vorta-window: " << text << "\n";
        code = 1;
        QMessageBox::warning(&window, QString::fromUtf8(kMessageCaption),
                             QString::fromStdString(text));
        QApplication::exit(1);
    };
    face.Start();
    window.ShowMainWindow();
    const int exitCode = QApplication::exec();
    view.Attach(nullptr);
    return code ? code : exitCode;
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
    if (const auto dir = AttachTo(*platform)) return RunAttached(*dir, *platform);
    ui::TQtClientView view;
    host::ClientHost run(*platform, RunConfig(cl), view, false);
    LocalFace face(run.Client());
    ui::TMainFrm window(face, WindowContext(*platform));
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
            // Hidden in the tray when it logs on by itself; minimised where there is no tray.
            if (!window.isVisible()) window.GoToTray();
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
