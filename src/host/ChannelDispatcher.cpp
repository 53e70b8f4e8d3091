#include "host/ChannelDispatcher.h"

#include <condition_variable>
#include <memory>
#include <mutex>

#include "base/Translate.h"
#include "cli/LinesCommand.h"
#include "core/FaceAction.h"
#include "core/ViewWire.h"
#include "host/ChannelProtocol.h"
#include "platform/ThisProcess.h"

namespace vorta::host {
namespace {

// One request's work on the loop, shared by the channel thread that waits for it.
struct Pending {
    std::mutex lock;
    std::condition_variable changed;
    bool started = false, dropped = false, done = false;
    std::string answer;
};

// The first answer given wins; one never given (the client dropped the work, say because it
// shut down before its exchange ended) is given when the last copy of the reply goes.
class Answer {
public:
    explicit Answer(std::shared_ptr<Pending> pending) : pending_(std::move(pending)) {}
    ~Answer() { Give(EncodeOutcome({1, "vorta: the client closed before it was done\n"})); }
    Answer(const Answer&) = delete;
    Answer& operator=(const Answer&) = delete;

    void Give(std::string text) {
        {
            std::lock_guard guard(pending_->lock);
            if (pending_->done) return;
            pending_->answer = std::move(text);
            pending_->done = true;
        }
        pending_->changed.notify_all();
    }

private:
    std::shared_ptr<Pending> pending_;
};

CommandDone Encoded(std::function<void(std::string)> reply) {
    return [reply = std::move(reply)](const CommandOutcome& outcome) {
        reply(EncodeOutcome(outcome));
    };
}

const char* const kMayNotChange =
    "vorta: only root and the members of the group vorta may change this client\n";

std::string Failed(const std::string& what) {
    return EncodeOutcome({1, "vorta: the client could not do it: " + what + "\n"});
}

}  // namespace

std::string ChannelDispatcher::OnLoop(platform::IRequestContext& context,
                                      std::function<void(Reply)> work) {
    auto pending = std::make_shared<Pending>();
    loop_.Post(ClientEvent([this, pending, work = std::move(work)] {
        {
            std::lock_guard guard(pending->lock);
            if (pending->dropped) return;
            pending->started = true;
        }
        auto answer = std::make_shared<Answer>(pending);
        try {
            work([answer](std::string text) { answer->Give(std::move(text)); });
        } catch (const std::exception& e) {
            client_.ReportFailure(e.what());
            answer->Give(Failed(e.what()));
        }
    }));
    // The wait wakes now and then to learn whether the asker withdrew the request, which only
    // its connection tells; an idle client has no request and no such wait.
    bool told = false;
    for (;;) {
        std::unique_lock guard(pending->lock);
        if (pending->changed.wait_for(guard, std::chrono::milliseconds(100),
                                      [&] { return pending->done; }))
            return pending->answer;
        if (pending->started) {
            guard.unlock();
            // The loop has ended: what it has not run yet never runs.
            if (closing_)
                return EncodeOutcome({1, "vorta: the client closed before it was done\n"});
            if (!told) context.Started();
            told = true;
            continue;
        }
        // Not started: the asker may withdraw it, and a closing client never starts it.
        guard.unlock();
        const bool gone = closing_ || context.Withdrawn();
        guard.lock();
        if (gone && !pending->started) {
            pending->dropped = true;
            return EncodeOutcome({1, "vorta: the client is closing; nothing was changed\n"});
        }
    }
}

std::string ChannelDispatcher::OnLoopNow(platform::IRequestContext& context,
                                         std::function<std::string()> work) {
    return OnLoop(context, [work = std::move(work)](Reply reply) { reply(work()); });
}

std::string ChannelDispatcher::Watch(platform::IRequestContext& context) {
    // Shared with the loop's work, which a closing client may still be running when this returns.
    struct Slot {
        std::mutex lock;
        std::shared_ptr<ViewWatcher> watcher;
    };
    auto slot = std::make_shared<Slot>();
    const std::string refused = OnLoopNow(context, [this, slot] {
        std::lock_guard guard(slot->lock);
        slot->watcher = publisher_.Watch();
        return EncodeOutcome({1, "vorta: the client has as many watchers as it serves\n"});
    });
    std::shared_ptr<ViewWatcher> watcher;
    {
        std::lock_guard guard(slot->lock);
        watcher = slot->watcher;
    }
    if (!watcher) return refused;
    context.Started();
    std::string text;
    while (!closing_) {
        const ViewWatcher::Next next = watcher->Take(text, std::chrono::milliseconds(200));
        if (next == ViewWatcher::Next::Closed) break;
        if (next == ViewWatcher::Next::Text ? !context.Send(text) : context.Withdrawn()) break;
    }
    // The publisher drops it at its next flush.
    watcher->Close();
    return {};
}

std::string ChannelDispatcher::Handle(const std::string& text, platform::IRequestContext& context) {
    try {
        return Dispatch(text, context);
    } catch (const std::exception& e) {
        const std::string what = e.what();
        loop_.Post(ClientEvent([this, what] { client_.ReportFailure(what); }));
        return EncodeOutcome({1, "vorta: " + what + "\n"});
    }
}

std::string ChannelDispatcher::Dispatch(const std::string& text,
                                        platform::IRequestContext& context) {
    const std::optional<ChannelRequest> request = DecodeRequest(text);
    if (!request) return std::string(kUnknownRequest);
    if (ChangesClient(*request) && !context.MayChange()) return EncodeOutcome({1, kMayNotChange});
    const bool json = request->json;
    switch (request->kind) {
        case RequestKind::Show:
            loop_.Post(ClientEvent(EventId::ClientShow));
            return std::string(kShown);
        case RequestKind::Identify:
            return EncodeIdentity({platform::CurrentProcessId(), serviceMode_});
        case RequestKind::Status:
            return OnLoopNow(context, [this, json] { return client_.StatusReport(json); });
        case RequestKind::Lines:
            return OnLoopNow(context, [this, args = request->args] {
                LinesCommandResult result{1, "the client has no lines manager\n"};
                if (TLinesMng* manager = client_.LinesMng()) {
                    ManagerLinesTarget target(*manager);
                    result = RunLinesCommand(args, target);
                }
                return EncodeOutcome({result.exitCode, result.output});
            });
        case RequestKind::Config:
            if (request->args.size() != 2)
                return EncodeOutcome({2, "vorta: a bad config request\n"});
            return OnLoopNow(context, [this, args = request->args] {
                return EncodeOutcome(client_.ConfigSet(args[0], args[1]));
            });
        case RequestKind::Logon:
            return OnLoop(context, [this](Reply reply) { client_.CommandLogon(Encoded(reply)); });
        case RequestKind::Logoff:
            return OnLoop(context, [this](Reply reply) { client_.CommandLogoff(Encoded(reply)); });
        case RequestKind::Domains:
            return OnLoop(context, [this, json](Reply reply) {
                client_.CommandDomains(json, Encoded(reply));
            });
        case RequestKind::Watch:
            return Watch(context);
        case RequestKind::Act: {
            const std::optional<FaceAction> action = DecodeFaceAction(request->args);
            if (!action) return EncodeOutcome({2, "vorta: a bad window action\n"});
            return OnLoopNow(context, [this, action = *action] {
                ApplyFaceAction(client_, action, true);
                return EncodeOutcome({0, ""});
            });
        }
        case RequestKind::Line:
            if (request->args.size() != 1) return EncodeOutcome({2, "vorta: a bad line request\n"});
            return OnLoopNow(context, [this, id = request->args[0]] {
                const auto line = client_.LinesMng() ? client_.LinesMng()->Find(id) : std::nullopt;
                if (!line)
                    return EncodeOutcome({1, std::string(Tr("请先选择要操作的线路！")) + "\n"});
                TLineInfo info = line->info;
                info.Password.clear();
                std::string text;
                for (const std::string& field : LineFields(info))
                    text += viewwire::Escape(field) + "\n";
                return EncodeOutcome({0, text});
            });
    }
    return std::string(kUnknownRequest);
}

}  // namespace vorta::host
