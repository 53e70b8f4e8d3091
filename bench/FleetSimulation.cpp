// A fleet of clients after an outage of the service, simulated without a network: every client
// starts in the same second (a power cut ends), the service is down for the first ten minutes,
// each client retries its logon until it succeeds and reports its line every rest. Prints the
// peak rate at the service after the outage as a multiple of the steady rate, for the lock-step
// schedule (10 s retries, 40 s rests, no jitter) and for the client's own (jittered, doubling
// after repeated failures), with the goal and PASS or MISS.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <queue>
#include <vector>

#include "core/RetryPlan.h"

namespace {

using std::chrono::milliseconds;
using vorta::RetryPlan;

constexpr int kClients = 10000;
constexpr milliseconds kOutage{600000};
constexpr milliseconds kEnd{3600000};
constexpr milliseconds kRest{40000};
constexpr double kGoal = 5.0;  // the peak after the outage at most this many times the steady rate

struct Figures {
    double peak = 0;         // requests in the busiest second after the outage
    double steady = 0;       // mean requests per second over the last half hour
    double allLoggedOn = 0;  // seconds after the outage until the last client logged on
};

Figures Simulate(bool jittered) {
    struct Event {
        milliseconds at;
        int client;
        bool report;  // else a logon attempt
        bool operator>(const Event& other) const { return at > other.at; }
    };
    std::priority_queue<Event, std::vector<Event>, std::greater<>> events;
    std::vector<RetryPlan> logon;
    std::mt19937_64 random(42);
    logon.reserve(kClients);
    for (int c = 0; c < kClients; ++c) {
        RetryPlan::Options options{.base = milliseconds(10000), .ceiling = milliseconds(300000)};
        if (!jittered) options = {.base = milliseconds(10000), .patience = ~0u, .spread = 0};
        logon.emplace_back(options, 1000 + c);
        events.push({milliseconds(0), c, false});
        events.push({milliseconds(0), c, true});
    }
    std::vector<int> perSecond(kEnd.count() / 1000 + 1, 0);
    milliseconds lastLogon{0};
    while (!events.empty()) {
        const Event e = events.top();
        events.pop();
        if (e.at >= kEnd) continue;
        ++perSecond[e.at.count() / 1000];
        const bool up = e.at >= kOutage;
        if (e.report) {
            const milliseconds rest = jittered ? vorta::Jittered(kRest, 0.10, random) : kRest;
            events.push({e.at + rest, e.client, true});
        } else if (up) {
            lastLogon = std::max(lastLogon, e.at);
            logon[e.client].After(true);  // logged on: no more attempts
        } else {
            events.push({e.at + logon[e.client].After(false), e.client, false});
        }
    }
    Figures f;
    const auto from = perSecond.begin() + kOutage.count() / 1000;
    f.peak = *std::max_element(from, perSecond.end());
    const auto half = perSecond.end() - 1800;
    long sum = 0;
    for (auto it = half; it != perSecond.end(); ++it) sum += *it;
    f.steady = static_cast<double>(sum) / 1800.0;
    f.allLoggedOn = static_cast<double>((lastLogon - kOutage).count()) / 1000.0;
    return f;
}

}  // namespace

int main() {
    const Figures lockStep = Simulate(false);
    const Figures own = Simulate(true);
    const double lockRatio = lockStep.peak / lockStep.steady;
    const double ownRatio = own.peak / own.steady;
    std::printf("fleet of %d clients after a %lld-minute outage, peak per second vs steady:\n",
                kClients, static_cast<long long>(kOutage.count() / 60000));
    std::printf("  lock step: peak %.0f/s, steady %.0f/s: %.1fx; all logged on %.0f s after\n",
                lockStep.peak, lockStep.steady, lockRatio, lockStep.allLoggedOn);
    std::printf(
        "  jittered backoff: peak %.0f/s, steady %.0f/s: %.1fx; all logged on %.0f s after "
        "goal <= %.0fx: %s\n",
        own.peak, own.steady, ownRatio, own.allLoggedOn, kGoal,
        ownRatio <= kGoal ? "PASS" : "MISS");
    return ownRatio <= kGoal ? 0 : 1;
}
