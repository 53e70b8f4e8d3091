#include "Timestamp.h"

#include <cstdio>
#include <ctime>

namespace devservice {

std::string utcTimestamp(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(time.time_since_epoch()).count() % 1000;
    const std::time_t seconds = system_clock::to_time_t(time);
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &tm);
    std::snprintf(text + n, sizeof text - n, ".%03dZ", static_cast<int>(ms < 0 ? ms + 1000 : ms));
    return text;
}

}  // namespace devservice
