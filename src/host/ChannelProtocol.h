#pragma once
// The requests other processes send the running client over the instance channel, and their
// answers. One request is one line of words: its name, then each argument after a tab. Command
// answers carry the exit code on their first line, then the text to show.
//
// How long an asker waits (the one time-out policy): the asker alone decides, by the kind of
// request (WaitFor). Work the client has not started when the asker gives up is dropped; work it
// has started is always finished, and the asker is told it may still happen.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/CommandOutcome.h"
#include "platform/InstanceChannel.h"

namespace vorta::host {

enum class RequestKind {
    Show,      // "SHOW": show the window
    Identify,  // "WHO": "PID MODE" of the process that holds the data dir
    Status,    // "STATUS" or "STATUS JSON"
    Lines,     // "LINES" + the words of `vorta lines`
    Config,    // "CONFIG" + name + value
    Logon,     // "LOGON"
    Logoff,    // "LOGOFF"
    Domains,   // "DOMAINS" or "DOMAINS JSON"
    Watch,     // "WATCH": the view as a stream (see ViewWire), until the asker hangs up
    Act,       // "ACT" + a window's action (see FaceAction)
    Line,      // "LINE" + a line's id: its record for the edit dialog, without its password
};

struct ChannelRequest {
    ChannelRequest(RequestKind kind, bool json = false, std::vector<std::string> args = {})
        : kind(kind), json(json), args(std::move(args)) {}

    RequestKind kind;
    bool json;                      // Status and Domains
    std::vector<std::string> args;  // Lines and Config
};

// Throws std::invalid_argument when an argument holds a tab or a line break, or a request that
// takes none has some.
std::string EncodeRequest(const ChannelRequest& request);
// Nothing for a text that is no request of this protocol.
std::optional<ChannelRequest> DecodeRequest(std::string_view text);

// True when `request` changes the client (its settings, lines or logon) instead of asking about
// it: an asker that may not change the client is refused it.
bool ChangesClient(const ChannelRequest& request);

// True when `value` cannot travel as an argument.
bool HasWireBreak(std::string_view value);

// The answer of a request that changes something, or of a command.
std::string EncodeOutcome(const CommandOutcome& outcome);
// An answer whose first line is no number reads as exit code 1.
CommandOutcome DecodeOutcome(std::string_view reply);

// The answer to Identify.
struct InstanceIdentity {
    std::int64_t pid = 0;
    bool service = false;
};
std::string EncodeIdentity(const InstanceIdentity& identity);
std::optional<InstanceIdentity> DecodeIdentity(std::string_view reply);

// The answer to Show.
inline constexpr std::string_view kShown = "OK\n";
// The answer to a text that is no request.
inline constexpr std::string_view kUnknownRequest = "unknown request\n";

// How long an asker waits for the answer: a status is quick unless the client is busy; a change
// may wait for an exchange ahead of it and its own, each bounded by its own time-outs.
std::chrono::seconds WaitFor(RequestKind kind);

}  // namespace vorta::host
