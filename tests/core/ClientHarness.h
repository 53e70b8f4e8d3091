#pragma once
// A controller wired to fakes and, when a test needs one, to the development service.

#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "DevService.h"
#include "FakePlatform.h"
#include "FakeSystemFacts.h"
#include "core/Client.h"

namespace vorta::test {

class ClientHarness {
public:
    explicit ClientHarness(ClientConfig config = {}, ClientHooks hooks = {}) {
        if (config.serviceUrl.empty()) config.serviceUrl = "http://127.0.0.1:1/unused/";
        ClientPlatform platform{store, services, autostart};
        platform.facts = &facts;
        client =
            std::make_unique<TClient>(config, std::move(platform), view, loop, std::move(hooks));
    }

    // Delivers events and timers until `done` holds; false after `limit`.
    template <typename Predicate>
    bool RunUntil(Predicate done, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            loop.ProcessDue();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    // A click whose exchange runs on a worker, then the events until it is over.
    bool Logon() {
        client->BtnLogonClick();
        return RunUntil([&] { return !client->LogonInProgress(); });
    }
    bool SwitchService() {
        client->ChkBoxRunAsServiceClick();
        return RunUntil([&] { return !client->ServiceSwitchInProgress(); });
    }
    bool Refresh() {
        client->BtnRefreshDomainInfoClick();
        return RunUntil([&] { return !client->RefreshInProgress(); });
    }

    bool LogHas(const std::string& text) const {
        for (std::size_t i = 0; i < client->Log().size(); ++i)
            if (client->Log()[i].Text == text) return true;
        return false;
    }
    std::string NewestLog() const { return client->Log().size() ? client->Log()[0].Text : ""; }

    FakeSettingsStore store;
    FakeServiceManager services;
    FakeAutostart autostart;
    FakeSystemFacts facts;
    RecordingView view;
    EventLoop loop;
    std::unique_ptr<TClient> client;
};

// The development service on a free loopback port, quiet.
class LiveService {
public:
    LiveService() { EXPECT_TRUE(service.start("127.0.0.1", 0)); }
    std::string Url() const {
        return "http://127.0.0.1:" + std::to_string(service.port()) +
               devservice::DevService::kExchangePath;
    }
    // A client of this service whose waits are cut short for tests.
    ClientConfig FastConfig() const {
        ClientConfig config;
        config.serviceUrl = Url();
        config.serviceListDelay = std::chrono::milliseconds(10);
        config.autoLogonPeriod = std::chrono::milliseconds(50);
        return config;
    }
    devservice::DevService service{devservice::Fixture::builtIn()};
};

inline devservice::Fault FaultWith(int delayMs, int status, std::optional<std::string> result,
                                   int count = -1) {
    devservice::Fault f;
    f.delayMs = delayMs;
    f.status = status;
    f.result = std::move(result);
    f.count = count;
    return f;
}

}  // namespace vorta::test
