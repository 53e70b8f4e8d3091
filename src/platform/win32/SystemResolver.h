#pragma once
#include "platform/win32/Guard.h"
// The system's host name resolver (getaddrinfo).

#include <string>
#include <vector>

namespace vorta::platform {

// Every IPv4 address of `host` as dotted text, in the resolver's order, each once. Throws
// std::runtime_error "Host Lookup - Could Not Find Host Entry" when there is none, and
// kWinSockStartFailed when WinSock cannot be started.
std::vector<std::string> ResolveHost(const std::string& host);

}  // namespace vorta::platform
