#pragma once
// The instance channel's words on the wire, the same over every transport: the asker sends one
// request line; the instance may say that the work has started; an asker that waited too long
// withdraws the request; the instance then says whether it had dropped it; the instance closes
// its end after the answer, which is how an answer ends. An instance that serves as many
// connections as it may says so at once and closes.

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "platform/InstanceChannel.h"

namespace vorta::platform::wire {

inline constexpr std::string_view kCancel = "CANCEL\n";
inline constexpr std::string_view kStartedMark = "\x06\n";
inline constexpr std::string_view kDroppedMark = "\x15\n";
inline constexpr std::string_view kBusyMark = "\x16\n";

// Connections served at once; one more is turned away busy. A slow exchange holds its asker's
// connection for its whole length, so this bounds the threads askers can make the instance keep.
inline constexpr std::size_t kMaxConnections = 8;
// A connection whose request line has not arrived by then is closed.
inline constexpr std::chrono::milliseconds kIdleTimeout{3000};
// How long an asker tries to get a connection at all (a full backlog, every pipe instance taken).
inline constexpr std::chrono::milliseconds kConnectDeadline{5000};

// What the asker makes of what it received; `complete` when the instance closed its end. A
// request whose answer never came is Withdrawn when the instance dropped it, else Unfinished;
// Busy when the instance turned the connection away.
ChannelReply ReplyFrom(std::string received, bool complete);

// The asker's side of a streamed answer, whatever carries it: the instance's first word says
// whether it serves the stream at all; then each line goes to `onLine`, without its break.
class StreamLines {
public:
    explicit StreamLines(const std::function<bool(std::string_view line)>& onLine)
        : onLine_(onLine) {}
    // Takes what arrived; false once the stream is over for the asker (the instance turned it
    // away, `onLine` said so, or a line grew too long).
    bool Feed(std::string_view data);
    // Answered once the instance opened the stream, else what it said.
    ChannelReply::Outcome Outcome() const { return outcome_; }

private:
    const std::function<bool(std::string_view line)>& onLine_;
    std::string pending_;
    bool opened_ = false;
    ChannelReply::Outcome outcome_ = ChannelReply::Outcome::NotRunning;
};

}  // namespace vorta::platform::wire
