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

bool StreamLines::Feed(std::string_view data) {
    pending_.append(data);
    for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
        const std::string line = pending_.substr(0, end + 1);
        pending_.erase(0, end + 1);
        if (!opened_) {
            if (line == kBusyMark) outcome_ = ChannelReply::Outcome::Busy;
            if (line == kBusyMark || line == kDroppedMark) return false;
            opened_ = true;
            outcome_ = ChannelReply::Outcome::Answered;
            if (line == kStartedMark) continue;
        }
        if (!onLine_(std::string_view(line).substr(0, end))) return false;
    }
    return pending_.size() <= (16u << 20);
}

}  // namespace vorta::platform::wire
