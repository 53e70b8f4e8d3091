#pragma once
// A client in service mode on a data dir, on a thread of its own, as `vorta --service` runs it,
// with the real platform but for the service manager, which shows it as the installed service.

#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "ClientHarness.h"
#include "FakePlatform.h"
#include "app/HeadlessView.h"
#include "host/ClientHost.h"
#include "host/HostPlatform.h"

namespace vorta::test {

class ServiceRun {
public:
    ServiceRun(const std::filesystem::path& dir, const LiveService& live) {
        platform_ = host::MakePlatform(dir);
        platform_->watchStopRequests = nullptr;  // the test's own signals stay its own
        auto services = std::make_unique<FakeServiceManager>();
        services->installed = services->running = true;
        services_ = services.get();
        platform_->services = std::move(services);
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
    // The service's stops asked of the service manager.
    int StopCalls() const { return services_->stopCalls; }

private:
    std::ostringstream log_;
    app::HeadlessView view_{log_};
    std::unique_ptr<host::HostPlatform> platform_;
    FakeServiceManager* services_ = nullptr;
    std::unique_ptr<host::ClientHost> run_;
    bool started_ = false;
    std::jthread thread_;
};

// Settings of a client that logs on by itself as the development service's demo user.
inline void StoreDemoAccount(const std::filesystem::path& dir) {
    const auto settings = host::OpenSettings(dir);
    settings->WriteSetting("UserName", "demo");
    settings->WriteSetting("UserPwd", "demo123");
    settings->WriteSetting("AutoLogon", "1");
}

}  // namespace vorta::test
