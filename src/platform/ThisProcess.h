#pragma once
// Facts about the running process that the host reports to others.

#include <cstdint>
#include <string>

namespace vorta::platform {

std::int64_t CurrentProcessId();
// The name of the account this process runs as, empty when it has none.
std::string CurrentUserName();

}  // namespace vorta::platform
