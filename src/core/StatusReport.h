#pragma once
// What `vorta status` prints: the logon state, the last error, the lines and the domains.

#include <memory>
#include <string>
#include <vector>

#include "core/ViewState.h"
#include "protocol/Messages.h"

namespace vorta {

struct StatusSnapshot {
    bool serviceMode = false;
    bool loggedOn = false;
    std::string userName;
    int lastErrorCode = 0;
    std::string lastErrorText;
    std::vector<LineRow> lines;
    // The master/backup pair: this host's role ("master", "backup" or "" when not paired), the
    // lines manager's LinesEnabled flag and GroupState, and the last heard peer state.
    std::string pairRole;
    bool linesEnabled = true;
    int groupState = 0;
    int peerState = 0;
    std::shared_ptr<TGetServiceListResp> domains;
};

std::string FormatStatusText(const StatusSnapshot& status);
std::string FormatStatusJson(const StatusSnapshot& status);

// `text` as a JSON string literal, quotes included.
std::string JsonString(std::string_view text);

}  // namespace vorta
