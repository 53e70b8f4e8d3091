#pragma once
#include "platform/win32/Guard.h"
// The IPv4 interfaces and their subnets as GetAdaptersAddresses lists them.

#include <vector>

#include "platform/InterfaceCache.h"

namespace vorta::platform {

// Every interface with IPv4; empty when they cannot be listed. Windows names no broadcast
// address of its own: `broadcast` stays 0.
std::vector<Ip4Interface> ListIp4Interfaces();

}  // namespace vorta::platform
