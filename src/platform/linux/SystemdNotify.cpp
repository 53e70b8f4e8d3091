#include "platform/linux/SystemdNotify.h"

#include <sys/stat.h>
#include <systemd/sd-daemon.h>

#include <cstdio>
#include <cstdlib>

namespace vorta::platform {

void NotifySystemd(const std::string& state) {
    // Keeps NOTIFY_SOCKET: the watchdog's keep-alives need it for the whole run.
    sd_notify(0, state.c_str());
}

std::chrono::microseconds SystemdWatchdogInterval() {
    std::uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) <= 0) return std::chrono::microseconds(0);
    return std::chrono::microseconds(usec);
}

bool StderrIsJournal() {
    const char* stream = std::getenv("JOURNAL_STREAM");
    if (stream == nullptr) return false;
    unsigned long long device = 0, inode = 0;
    if (std::sscanf(stream, "%llu:%llu", &device, &inode) != 2) return false;
    struct stat status {};
    if (::fstat(2, &status) != 0) return false;
    return status.st_dev == device && status.st_ino == inode;
}

}  // namespace vorta::platform
