#pragma once
// One client per data dir, and a channel through which other processes talk to it. The channel
// carries lines of text; what they say is the host's business.

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace vorta::platform {

// The connection a request came by, as its handler sees it.
class IRequestContext {
public:
    virtual ~IRequestContext() = default;
    // True once the asker has withdrawn the request (it asked to cancel, or hung up). A handler
    // that has not started the work then drops it.
    virtual bool Withdrawn() = 0;
    // Tells the asker that the work has started and will be finished whatever happens.
    virtual void Started() = 0;
    // Writes part of a streamed answer at once; false once the asker is gone.
    virtual bool Send(std::string_view text) = 0;
    // True when the asker may change the client (its settings, lines, logon); an asker that may
    // not is still told its state.
    virtual bool MayChange() const { return true; }
};

// How a request ended, seen from the asker.
struct ChannelReply {
    enum class Outcome {
        NotRunning,  // no instance holds the data dir's channel
        Answered,    // `text` is the answer
        Withdrawn,   // no answer in time; the request was withdrawn before it started
        Unfinished,  // no answer in time, but the instance had started the work
        Busy,        // the instance serves as many askers as it can; the request never reached it
        Denied,      // the instance runs, but this user may not reach its channel
        Impostor,    // a program that is not the client holds the channel; `text` names it
    } outcome = Outcome::NotRunning;
    std::string text;
};

class IInstanceChannel {
public:
    using Handler = std::function<std::string(const std::string& request, IRequestContext&)>;
    virtual ~IInstanceChannel() = default;
    // Becomes the one instance, answering requests with `handler` on threads of its own: each
    // connection has its own, so `handler` runs for several requests at once. False when another
    // instance holds the data dir.
    virtual bool Claim(Handler handler) = 0;
    bool Claim(std::function<std::string(const std::string& request)> handler) {
        return Claim([h = std::move(handler)](const std::string& request, IRequestContext&) {
            return h(request);
        });
    }
    // Stops answering: new askers find no instance, requests being answered are waited for, and
    // connections whose request has not arrived are told it was dropped.
    // The data dir stays held until this object goes, so no second client starts meanwhile.
    virtual void StopServing() = 0;
    // Sends one request and waits up to `timeout` for its answer; past that the request is
    // withdrawn unless the instance has started it. A connection the instance cannot take within
    // a few seconds (every one it serves at once is taken) ends as Busy.
    virtual ChannelReply Request(const std::string& request, std::chrono::milliseconds timeout) = 0;
    // Sends `request` and hands each line of the instance's streamed answer to `onLine` (without
    // its line break) until the instance ends the stream, `onLine` returns false or `stop` is
    // requested. Answered once the stream was opened, else why it was not.
    virtual ChannelReply::Outcome Watch(const std::string& request,
                                        const std::function<bool(std::string_view line)>& onLine,
                                        std::stop_token stop) = 0;
    // Takes the data dir's instance lock without serving (for a command that edits the files
    // while no client runs); false when a client holds it. Released with this object.
    virtual bool Lock() = 0;
    // The answer within ten seconds; nothing when none runs or it does not answer.
    std::optional<std::string> Ask(const std::string& request) {
        ChannelReply reply = Request(request, std::chrono::seconds(10));
        if (reply.outcome != ChannelReply::Outcome::Answered) return std::nullopt;
        return std::move(reply.text);
    }
};

}  // namespace vorta::platform
