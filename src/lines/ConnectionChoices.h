#pragma once
// The connections a line of a kind can use, as the line edit dialog offers them.

#include <string>
#include <vector>

#include "platform/NetworkTables.h"
#include "platform/RemoteAccess.h"

namespace vorta {

// Dial-up lines use the remote access entries (pppd peers), every other kind a network
// interface. The connections folder's own items never appear. A source that is missing or
// cannot be asked gives no names.
std::vector<std::string> ConnectionChoices(int kind, platform::INetworkTables* tables,
                                           platform::IRemoteAccess* ras);

}  // namespace vorta
