#pragma once
#include "platform/linux/Guard.h"
// What a service tells systemd of itself (sd_notify) and how its log lines reach the journal.

#include <chrono>
#include <string>

namespace vorta::platform {

// Sends `state` ("READY=1", "STOPPING=1", "WATCHDOG=1") to the socket systemd named in
// NOTIFY_SOCKET; nothing where there is none.
void NotifySystemd(const std::string& state);
// The keep-alive interval systemd asks of this process (WatchdogSec=); zero when it asks none.
std::chrono::microseconds SystemdWatchdogInterval();
// Whether standard error is the journal's stream (JOURNAL_STREAM names its device and inode):
// log lines may then carry their priority.
bool StderrIsJournal();

}  // namespace vorta::platform
