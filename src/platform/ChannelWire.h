#pragma once
// The instance channel's words on the wire, the same over every transport: the asker sends one
// request line; the instance may say that the work has started; an asker that waited too long
// withdraws the request; the instance then says whether it had dropped it; the instance closes
// its end after the answer, which is how an answer ends.

#include <string>
#include <string_view>

#include "platform/InstanceChannel.h"

namespace vorta::platform::wire {

inline constexpr std::string_view kCancel = "CANCEL\n";
inline constexpr std::string_view kStartedMark = "\x06\n";
inline constexpr std::string_view kDroppedMark = "\x15\n";

// What the asker makes of what it received; `complete` when the instance closed its end. A
// request whose answer never came is Withdrawn when the instance dropped it, else Unfinished.
ChannelReply ReplyFrom(std::string received, bool complete);

}  // namespace vorta::platform::wire
