#include "ui/WindowSession.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <iostream>

#include "base/Translate.h"
#include "host/AttachTarget.h"
#include "host/ChannelProtocol.h"
#include "platform/ThisProcess.h"
#include "service/ServiceHost.h"
#include "sysinfo/SysInfo.h"

namespace vorta::ui {

TWindowSession::TWindowSession(host::HostPlatform& platform, ClientConfig config)
    : platform_(platform), config_(std::move(config)) {}

TWindowSession::~TWindowSession() {
    // Every thread of a run is joined before the window and the driver go.
    StopOwn();
    remote_.reset();
    view_.Attach(nullptr);
}

TWindowSession::Outcome TWindowSession::Start(std::string& refusal) {
    if (const auto dir = host::AttachTarget(platform_)) {
        Attach(*dir);
        window_->ShowMainWindow();
        return Outcome::Shown;
    }
    switch (StartOwn(refusal)) {
        case host::ClientHost::Outcome::OtherShown:
            return Outcome::OtherShown;
        case host::ClientHost::Outcome::Refused:
            return Outcome::Refused;
        case host::ClientHost::Outcome::Started:
            break;
    }
    // Hidden in the tray when it logs on by itself; minimised where there is no tray.
    if (!window_->isVisible()) window_->GoToTray();
    return Outcome::Shown;
}

void TWindowSession::Show(IClientFace& face) {
    if (!window_) {
        window_ = std::make_unique<TMainFrm>(
            face, MainFrmContext{
                      platform_.network.get(), platform_.ras.get(), platform_.facts.get(), {}, {}});
        view_.Attach(window_.get());
    } else {
        window_->SetFace(face);
    }
}

host::ClientHost::Outcome TWindowSession::StartOwn(std::string& refusal) {
    run_ =
        std::make_unique<host::ClientHost>(platform_, config_, view_, false, [this](bool install) {
            // Not from inside the client's own loop, which the switch ends.
            if (install) QTimer::singleShot(0, this, &TWindowSession::SwitchToService);
        });
    local_ = std::make_unique<LocalFace>(run_->Client());
    Show(*local_);
    driver_ = std::make_unique<TLoopDriver>(run_->Loop());
    const host::ClientHost::Outcome outcome = run_->Start(refusal);
    if (outcome != host::ClientHost::Outcome::Started) StopOwn();
    return outcome;
}

void TWindowSession::StopOwn() {
    if (!run_) return;
    run_->Stop();
    driver_.reset();
    // The window keeps no reference into a client that goes.
    if (window_ && remote_) window_->SetFace(*remote_);
    run_.reset();
    // The channel held the data dir until now; a later client of this window claims it anew.
    platform_.channel = host::OpenChannel(platform_.dataDir);
}

void TWindowSession::Attach(const std::filesystem::path& dir) {
    auto face = std::make_unique<host::RemoteFace>(
        host::OpenChannel(dir), view_,
        [this](std::function<void()> call) {
            QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
        },
        [this] {
            return std::make_unique<TSysInfo>(platform_.network.get(), TConnectionLookup{},
                                              platform_.facts.get());
        });
    face->onLink = [this, dir](host::RemoteFace::Link link) {
        if (link == host::RemoteFace::Link::Connected)
            std::cerr << "vorta-window: attached to the client on " << dir.string() << "\n";
        if (link == host::RemoteFace::Link::Away)
            std::cerr << "vorta-window: no client answers on " << dir.string()
                      << "; waiting for it\n";
        if (link != host::RemoteFace::Link::Denied) return;
        const std::string text = host::DeniedText(dir, platform::CurrentUserName());
        std::cerr << "vorta-window: " << text << "\n";
        exitCode_ = 1;
        QMessageBox::warning(window_.get(), QString::fromUtf8(Tr(kMessageCaption)),
                             QString::fromStdString(text));
        QApplication::exit(1);
    };
    // Unticking the service box removes the service from here: the service cannot remove
    // itself while it runs.
    if (platform_.installService && dir == host::SystemDataDir()) {
        face->leaveService = [install = platform_.installService] { return install(false); };
        face->onServiceLeft = [this] { QTimer::singleShot(0, this, &TWindowSession::SwitchToOwn); };
    }
    Show(*face);
    std::unique_ptr<host::RemoteFace> old = std::exchange(remote_, std::move(face));
    remote_->Start();
    old.reset();
}

void TWindowSession::SwitchToService() {
    if (!run_) return;
    Attach(host::SystemDataDir());
    StopOwn();
    local_.reset();
    window_->ShowMainWindow();
}

void TWindowSession::SwitchToOwn() {
    if (run_) return;
    std::string refusal;
    if (StartOwn(refusal) != host::ClientHost::Outcome::Started) {
        std::cerr << "vorta-window: " << refusal << "\n";
        window_->ShowMessage(QString::fromStdString(refusal),
                             QString::fromUtf8(Tr(kMessageCaption)), MessageIcon::Error);
        return;
    }
    remote_.reset();
    window_->ShowMainWindow();
}

}  // namespace vorta::ui
