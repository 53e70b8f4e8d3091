#pragma once
// What the window shows: its own client, or the client it is the face of (the system service,
// or a client in service mode on its data dir), and the switch between the two when the user
// ticks or unticks the service box. The same decisions as the Qt window's session, on the
// window's thread.

// First: IClientView::MessageBox reads as MessageBoxW all through the window's files.
#include <windows.h>

#include <filesystem>
#include <memory>
#include <string>

#include "core/ClientFace.h"
#include "host/ClientHost.h"
#include "host/RemoteFace.h"
#include "ui/win32/LoopDriver.h"
#include "ui/win32/MainWindow.h"
#include "ui/win32/WindowView.h"

namespace vorta::win32ui {

class WindowSession {
public:
    WindowSession(host::HostPlatform& platform, ClientConfig config);
    ~WindowSession();
    WindowSession(const WindowSession&) = delete;
    WindowSession& operator=(const WindowSession&) = delete;

    enum class Outcome { Shown, OtherShown, Refused };
    // Shows the window over the right client; `refusal` says why not.
    Outcome Start(std::string& refusal);
    // The window program's exit code once the message loop ended.
    int ExitCode() const { return exitCode_; }
    HWND MainHandle() const { return window_ ? window_->Handle() : nullptr; }

private:
    host::ClientHost::Outcome StartOwn(std::string& refusal);
    void StopOwn();
    void Attach(const std::filesystem::path& dir);
    // The window takes the new face before the old one goes.
    void Show(IClientFace& face);
    // After the service box's install run: the window becomes the face of the service.
    void SwitchToService();
    // After the attached window's uninstall run: the window runs its own client again.
    void SwitchToOwn();

    host::HostPlatform& platform_;
    ClientConfig config_;
    WindowPost post_;  // before the faces and the client, whose threads post through it
    WindowView view_;
    std::unique_ptr<host::ClientHost> run_;
    std::unique_ptr<LoopDriver> driver_;
    std::unique_ptr<LocalFace> local_;
    std::unique_ptr<host::RemoteFace> remote_;
    std::unique_ptr<MainWindow> window_;
    int exitCode_ = 0;
};

}  // namespace vorta::win32ui
