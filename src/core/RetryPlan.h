#pragma once
// The waits of a retrying thread. Every wait carries a small random jitter, so that clients
// started in the same second (after a power cut, say) drift apart instead of reaching the service
// together; after repeated failures the wait doubles up to a ceiling, and the first success
// brings back the base period.

#include <chrono>
#include <cstdint>
#include <random>

namespace vorta {

// `wait` moved by a random part of at most `spread` (0.1: ±10 %) either way.
std::chrono::milliseconds Jittered(std::chrono::milliseconds wait, double spread,
                                   std::mt19937_64& random);

class RetryPlan {
public:
    struct Options {
        std::chrono::milliseconds base{10000};
        std::chrono::milliseconds ceiling{300000};
        // Failures in a row before the waits start to grow: a short hiccup of the service
        // keeps the base cadence.
        unsigned patience = 3;
        double spread = 0.10;
    };
    // A seed of 0 takes one from the system.
    explicit RetryPlan(Options options, std::uint64_t seed = 0);

    // The wait before the next attempt, after one that `succeeded` (or, with `succeeded` false,
    // failed). Base × 2^(failures beyond the patience), at most the ceiling, then jittered.
    std::chrono::milliseconds After(bool succeeded);
    // The base period jittered: the wait when there was nothing to try.
    std::chrono::milliseconds Idle();
    unsigned Failures() const { return failures_; }

private:
    Options options_;
    unsigned failures_ = 0;
    std::mt19937_64 random_;
};

}  // namespace vorta
