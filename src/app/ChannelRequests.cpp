#include "app/ChannelRequests.h"

#include <unistd.h>

#include <condition_variable>
#include <memory>
#include <mutex>

#include "core/LinesCommand.h"
#include "protocol/ResultCodes.h"

namespace vorta::app {

std::string EncodeRequest(const std::string& name, const std::vector<std::string>& args) {
    std::string request = name;
    for (const auto& arg : args) request += "\t" + arg;
    return request;
}

std::vector<std::string> DecodeArguments(const std::string& request) {
    std::vector<std::string> args;
    std::size_t at = request.find('\t');
    while (at != std::string::npos) {
        const std::size_t next = request.find('\t', at + 1);
        args.push_back(
            request.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1));
        at = next;
    }
    return args;
}

std::string EncodeOutcome(const CommandOutcome& outcome) {
    return std::to_string(outcome.exitCode) + "\n" + outcome.output;
}

CommandOutcome DecodeOutcome(const std::string& reply) {
    const std::size_t eol = reply.find('\n');
    return {ResultCodeToInt(reply.substr(0, eol), 1),
            eol == std::string::npos ? "" : reply.substr(eol + 1)};
}

namespace {

struct Pending {
    std::mutex lock;
    std::condition_variable changed;
    bool started = false, dropped = false, done = false;
    std::string answer;
};

// The first answer given wins; one never given (the client shut down before its exchange
// ended) is given when the last copy of the reply goes.
class Answer {
public:
    explicit Answer(std::shared_ptr<Pending> pending) : pending_(std::move(pending)) {}
    ~Answer() { Give(EncodeOutcome({1, "vorta: the client closed before it was done\n"})); }
    Answer(const Answer&) = delete;
    Answer& operator=(const Answer&) = delete;

    void Give(std::string answer) {
        {
            std::lock_guard guard(pending_->lock);
            if (pending_->done) return;
            pending_->answer = std::move(answer);
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

}  // namespace

std::string ChannelRequests::OnLoop(platform::IRequestContext& context,
                                    std::function<std::string()> work) {
    return OnLoopAsync(context, [work = std::move(work)](const Reply& reply) { reply(work()); });
}

std::string ChannelRequests::OnLoopAsync(platform::IRequestContext& context,
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
            answer->Give(EncodeOutcome(
                {1, std::string("vorta: the client could not do it: ") + e.what() + "\n"}));
        }
    }));
    bool told = false;
    for (;;) {
        std::unique_lock guard(pending->lock);
        if (pending->changed.wait_for(guard, std::chrono::milliseconds(100),
                                      [&] { return pending->done; }))
            return pending->answer;
        if (pending->started) {
            guard.unlock();
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

std::string ChannelRequests::Handle(const std::string& request,
                                    platform::IRequestContext& context) {
    if (request == platform::kRequestShow) {
        loop_.Post(ClientEvent(EventId::ClientShow));
        return "OK\n";
    }
    if (request == platform::kRequestIdentify)
        return std::to_string(::getpid()) + (serviceMode_ ? " service\n" : " desktop\n");
    if (request == platform::kRequestStatus || request == platform::kRequestStatusJson) {
        const bool json = request == platform::kRequestStatusJson;
        return OnLoop(context, [this, json] { return client_.StatusReport(json); });
    }
    if (request == kRequestLines || request.starts_with(std::string(kRequestLines) + "\t")) {
        return OnLoop(context, [this, args = DecodeArguments(request)] {
            LinesCommandResult result{1, "the client has no lines manager\n"};
            if (TLinesMng* manager = client_.LinesMng()) {
                ManagerLinesTarget target(*manager);
                result = RunLinesCommand(args, target);
            }
            return EncodeOutcome({result.exitCode, result.output});
        });
    }
    if (request.starts_with(std::string(kRequestConfig) + "\t")) {
        const auto args = DecodeArguments(request);
        if (args.size() != 2) return EncodeOutcome({2, "vorta: a bad config request\n"});
        return OnLoop(context,
                      [this, args] { return EncodeOutcome(client_.ConfigSet(args[0], args[1])); });
    }
    if (request == kRequestLogon)
        return OnLoopAsync(context, [this](Reply reply) { client_.CommandLogon(Encoded(reply)); });
    if (request == kRequestLogoff)
        return OnLoopAsync(context, [this](Reply reply) { client_.CommandLogoff(Encoded(reply)); });
    if (request == kRequestDomains || request == kRequestDomainsJson) {
        const bool json = request == kRequestDomainsJson;
        return OnLoopAsync(
            context, [this, json](Reply reply) { client_.CommandDomains(json, Encoded(reply)); });
    }
    return "unknown request\n";
}

}  // namespace vorta::app
