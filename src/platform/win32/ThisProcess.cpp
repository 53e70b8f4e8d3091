#include "platform/ThisProcess.h"

#include <windows.h>

namespace vorta::platform {

std::int64_t CurrentProcessId() {
    return static_cast<std::int64_t>(GetCurrentProcessId());
}

}  // namespace vorta::platform
