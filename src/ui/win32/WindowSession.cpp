#include "ui/win32/WindowSession.h"

#include <iostream>

#include "host/AttachTarget.h"
#include "platform/ThisProcess.h"
#include "sysinfo/SysInfo.h"
#include "ui/win32/Text.h"

namespace vorta::win32ui {

WindowSession::WindowSession(host::HostPlatform& platform, ClientConfig config)
    : platform_(platform), config_(std::move(config)) {}

WindowSession::~WindowSession() {
    // Every thread of a run is joined before the window and the driver go.
    StopOwn();
    remote_.reset();
    view_.Attach(nullptr);
}

WindowSession::Outcome WindowSession::Start(std::string& refusal) {
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
    if (!window_->Visible()) window_->GoToTray();
    return Outcome::Shown;
}

void WindowSession::Show(IClientFace& face) {
    if (!window_) {
        window_ = std::make_unique<MainWindow>(
            face,
            MainWindowContext{platform_.network.get(), platform_.ras.get(), platform_.facts.get()});
        view_.Attach(window_.get());
    } else {
        window_->SetFace(face);
    }
}

host::ClientHost::Outcome WindowSession::StartOwn(std::string& refusal) {
    run_ =
        std::make_unique<host::ClientHost>(platform_, config_, view_, false, [this](bool install) {
            // Not from inside the client's own loop, which the switch ends.
            if (install) post_([this] { SwitchToService(); });
        });
    local_ = std::make_unique<LocalFace>(run_->Client());
    Show(*local_);
    driver_ = std::make_unique<LoopDriver>(run_->Loop());
    const host::ClientHost::Outcome outcome = run_->Start(refusal);
    if (outcome != host::ClientHost::Outcome::Started) StopOwn();
    return outcome;
}

void WindowSession::StopOwn() {
    if (!run_) return;
    run_->Stop();
    driver_.reset();
    // The window keeps no reference into a client that goes.
    if (window_ && remote_) window_->SetFace(*remote_);
    run_.reset();
    // The channel held the data dir until now; a later client of this window claims it anew.
    platform_.channel = host::OpenChannel(platform_.dataDir);
}

void WindowSession::Attach(const std::filesystem::path& dir) {
    auto face = std::make_unique<host::RemoteFace>(
        host::OpenChannel(dir), view_,
        [this](std::function<void()> call) { post_(std::move(call)); },
        [this] {
            return std::make_unique<TSysInfo>(platform_.network.get(), TConnectionLookup{},
                                              platform_.facts.get());
        });
    face->onLink = [this, dir](host::RemoteFace::Link link) {
        if (link == host::RemoteFace::Link::Connected)
            std::cerr << "vorta: attached to the client on " << dir.string() << "\n";
        if (link == host::RemoteFace::Link::Away)
            std::cerr << "vorta: no client answers on " << dir.string() << "; waiting for it\n";
        if (link != host::RemoteFace::Link::Denied) return;
        const std::string text = host::DeniedText(dir, platform::CurrentUserName());
        std::cerr << "vorta: " << text << "\n";
        exitCode_ = 1;
        MessageBoxW(window_ ? window_->Handle() : nullptr, W(text).c_str(),
                    W(kMessageCaption).c_str(), MB_OK | MB_ICONWARNING);
        PostQuitMessage(1);
    };
    // Unticking the service box removes the service from here: the service cannot remove
    // itself while it runs.
    if (platform_.installService && dir == host::SystemDataDir()) {
        face->leaveService = [install = platform_.installService] { return install(false); };
        face->onServiceLeft = [this] { post_([this] { SwitchToOwn(); }); };
    }
    Show(*face);
    std::unique_ptr<host::RemoteFace> old = std::exchange(remote_, std::move(face));
    remote_->Start();
    old.reset();
}

void WindowSession::SwitchToService() {
    if (!run_) return;
    Attach(host::SystemDataDir());
    StopOwn();
    local_.reset();
    window_->ShowMainWindow();
}

void WindowSession::SwitchToOwn() {
    if (run_) return;
    std::string refusal;
    if (StartOwn(refusal) != host::ClientHost::Outcome::Started) {
        std::cerr << "vorta: " << refusal << "\n";
        window_->ShowMessage(refusal, kMessageCaption, MessageIcon::Error);
        return;
    }
    remote_.reset();
    window_->ShowMainWindow();
}

}  // namespace vorta::win32ui
