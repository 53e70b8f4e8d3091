#include "core/RetryPlan.h"

#include <algorithm>

namespace vorta {

std::chrono::milliseconds Jittered(std::chrono::milliseconds wait, double spread,
                                   std::mt19937_64& random) {
    if (spread <= 0 || wait.count() <= 0) return wait;
    std::uniform_real_distribution<double> factor(1.0 - spread, 1.0 + spread);
    return std::chrono::milliseconds(static_cast<std::chrono::milliseconds::rep>(
        static_cast<double>(wait.count()) * factor(random)));
}

RetryPlan::RetryPlan(Options options, std::uint64_t seed)
    : options_(options), random_(seed != 0 ? seed : std::random_device{}()) {}

std::chrono::milliseconds RetryPlan::After(bool succeeded) {
    if (succeeded) {
        failures_ = 0;
        return Idle();
    }
    if (failures_ < 64) ++failures_;
    auto wait = options_.base;
    for (unsigned grown = options_.patience; grown < failures_ && wait < options_.ceiling; ++grown)
        wait *= 2;
    return Jittered(std::min(wait, std::max(options_.ceiling, options_.base)), options_.spread,
                    random_);
}

std::chrono::milliseconds RetryPlan::Idle() {
    return Jittered(options_.base, options_.spread, random_);
}

}  // namespace vorta
