#pragma once
// Facts about the running process that the host reports to others.

#include <cstdint>

namespace vorta::platform {

std::int64_t CurrentProcessId();

}  // namespace vorta::platform
