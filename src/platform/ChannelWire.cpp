#include "platform/ChannelWire.h"

namespace vorta::platform::wire {

ChannelReply ReplyFrom(std::string received, bool complete) {
    ChannelReply reply;
    if (received.starts_with(kStartedMark)) received.erase(0, kStartedMark.size());
    if (received == kBusyMark) {
        reply.outcome = ChannelReply::Outcome::Busy;
    } else if (received == kDroppedMark) {
        reply.outcome = ChannelReply::Outcome::Withdrawn;
    } else if (!complete) {
        // No word either way: the work may still be done.
        reply.outcome = ChannelReply::Outcome::Unfinished;
    } else {
        reply.outcome = ChannelReply::Outcome::Answered;
        reply.text = std::move(received);
    }
    return reply;
}

}  // namespace vorta::platform::wire
