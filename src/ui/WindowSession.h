#pragma once
// What the window program shows: its own client, or the client it is the face of (the system
// service, or a client in service mode on its data dir), and the switch between the two when the
// user ticks or unticks the service box.

#include <QObject>
#include <filesystem>
#include <memory>
#include <string>

#include "app/CommandLine.h"
#include "core/ClientFace.h"
#include "host/ClientHost.h"
#include "host/RemoteFace.h"
#include "ui/LoopDriver.h"
#include "ui/MainFrm.h"
#include "ui/QtClientView.h"

namespace vorta::ui {

class TWindowSession : public QObject {
    Q_OBJECT
public:
    TWindowSession(host::HostPlatform& platform, ClientConfig config);
    ~TWindowSession() override;

    enum class Outcome { Shown, OtherShown, Refused };
    // Shows the window over the right client; `refusal` says why not.
    Outcome Start(std::string& refusal);
    TMainFrm& Window() { return *window_; }
    // The window program's exit code once the application loop ended.
    int ExitCode() const { return exitCode_; }

private:
    // This process's client; false (with `refusal`) when it does not start.
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
    TQtClientView view_;
    std::unique_ptr<host::ClientHost> run_;
    std::unique_ptr<TLoopDriver> driver_;
    std::unique_ptr<LocalFace> local_;
    std::unique_ptr<host::RemoteFace> remote_;
    std::unique_ptr<TMainFrm> window_;
    int exitCode_ = 0;
};

}  // namespace vorta::ui
