#pragma once
// What `vorta status` prints: the logon state, the last error, the lines and the domains.

#include <cstdint>
#include <memory>
#include <optional>
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
    // lines manager's duty and group state, and the last heard peer state (none before anything
    // was heard).
    std::string pairRole;
    bool linesEnabled = true;
    int groupState = 0;
    std::optional<int> peerState;
    std::uint64_t ignoredDatagrams = 0;  // not a broadcast from another host on the LAN
    std::string pairFailure;             // why the heartbeat port is not bound, if it is not
    std::shared_ptr<TGetServiceListResp> domains;
    // The service's addresses in use.
    std::string serviceUrl, lineUrlTemplate, probeUrl;
    // Whether the system description may be uploaded, and the notice shown while it may.
    bool uploadAllowed = true;
    std::string uploadNotice;
};

std::string FormatStatusText(const StatusSnapshot& status);
std::string FormatStatusJson(const StatusSnapshot& status);

// The domains with their resources ("domains: N" and one block a domain); none: no list yet.
std::string FormatDomainsText(const TGetServiceListResp* domains);
// The same as a JSON array.
std::string FormatDomainsJson(const TGetServiceListResp* domains);

// Seconds since the epoch as UTC text, "2026-12-08T19:20:05Z".
std::string UtcTimeText(std::int64_t seconds);

// `text` as a JSON string literal, quotes included.
std::string JsonString(std::string_view text);

}  // namespace vorta
