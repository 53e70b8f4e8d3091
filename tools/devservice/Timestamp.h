#pragma once

#include <chrono>
#include <string>

namespace devservice {

// ISO 8601 in UTC with milliseconds, e.g. "2024-05-01T08:30:00.125Z".
std::string utcTimestamp(std::chrono::system_clock::time_point time);

}  // namespace devservice
