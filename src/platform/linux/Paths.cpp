#include "platform/linux/Paths.h"

#include <unistd.h>

#include <cstdlib>
#include <system_error>

namespace vorta::platform {

std::filesystem::path DefaultDataDir() {
    if (::geteuid() == 0) return "/var/lib/vorta";
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        return std::filesystem::path(config) / "vorta";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : ".") / ".config" / "vorta";
}

std::filesystem::path ExecutablePath() {
    std::error_code ec;
    auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : path;
}

const char* TestSetting(const char* name) {
#ifndef VORTA_TEST_HOOKS
    if (::geteuid() == 0) return nullptr;
#endif
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

}  // namespace vorta::platform
