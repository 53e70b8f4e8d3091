// How long a client takes to shut down while its logon exchange hangs (goal: under 1 s).
// Usage: bench_shutdown [rounds]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "DevService.h"
#include "FakePlatform.h"
#include "core/Client.h"

int main(int argc, char** argv) {
    using namespace vorta;
    using Clock = std::chrono::steady_clock;
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 10;
    devservice::DevService service(devservice::Fixture::builtIn());
    if (!service.start("127.0.0.1", 0)) return 1;
    devservice::Fault stall;
    stall.delayMs = 60000;
    service.setFault(devservice::Exchange::Profile, stall);

    double worst = 0, total = 0;
    for (int i = 0; i < rounds; ++i) {
        test::FakeSettingsStore store;
        store.values = {{"UserName", "demo"}, {"UserPwd", "demo123"}, {"AutoLogon", "1"}};
        test::FakeServiceManager services;
        test::FakeAutostart autostart;
        test::RecordingView view;
        EventLoop loop;
        ClientConfig config;
        config.serviceUrl =
            "http://127.0.0.1:" + std::to_string(service.port()) + "/vorta/vorta.dll/";
        TClient client(config, {store, services, autostart}, view, loop);
        const std::size_t before = service.requests().size();
        client.StartClient(false);
        while (service.requests().size() == before)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const auto start = Clock::now();
        client.Shutdown();
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        worst = std::max(worst, ms);
        total += ms;
    }
    std::printf(
        "shutdown with a hanging exchange: mean %.2f ms, worst %.2f ms over %d rounds (goal < 1000 "
        "ms)\n",
        total / rounds, worst, rounds);
    return worst < 1000 ? 0 : 1;
}
