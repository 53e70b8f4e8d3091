#include "core/UpdateIpTrd.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <stop_token>

#include "base/StopWait.h"
#include "base/Translate.h"
#include "core/RetryPlan.h"
#include "platform/ThreadName.h"
#include "protocol/DebugLog.h"
#include "protocol/HttpRequest.h"
#include "protocol/ResultCodes.h"
#include "protocol/ServiceUrls.h"

namespace vorta {

namespace {
using Clock = std::chrono::steady_clock;
// The notices of one change come in a burst (an address added, the old one removed): they are let
// in before the lines are looked at.
constexpr auto kSettle = std::chrono::milliseconds(100);
}  // namespace

// One line's reports, on a thread of its own: queued reports run one after another, at least the
// context's gap apart; a report queued while one runs follows it.
class TUpdateIpTrd::Reporter {
public:
    Reporter(TUpdateIpTrd& owner, std::string id, std::stop_token ownerStop)
        : lineId(std::move(id)), owner_(owner) {
        request.MsgType = kActiveTestExReq;
        request.Version = kProtocolVersion;
        thread_ = std::jthread([this](std::stop_token stop) {
            platform::NameThisThread("vorta-report");
            Run(stop);
        });
        ownerStop_.emplace(ownerStop, [this] { thread_.request_stop(); });
    }
    // Ends the thread; an exchange in progress ends at once.
    ~Reporter() {
        ownerStop_.reset();
        thread_.request_stop();
        if (thread_.joinable()) thread_.join();
    }
    Reporter(const Reporter&) = delete;
    Reporter& operator=(const Reporter&) = delete;

    void Queue() { pending_.Raise(); }

    const std::string lineId;
    // The reporter thread's own: one pair refilled for every report, and the reason last logged.
    TActiveTestExReq request;
    TActiveTestExResp response;
    std::string logged;

private:
    void Run(std::stop_token stop) {
        Clock::time_point lastStart{};
        while (!stop.stop_requested()) {
            if (!pending_.Wait(stop)) return;
            const auto next = lastStart + owner_.context_.gap;
            if (Clock::now() < next && !SleepUnlessStopped(stop, next - Clock::now())) return;
            pending_.Take();  // what is queued from now on needs a report of its own
            lastStart = Clock::now();
            try {
                owner_.Report(stop, *this);
            } catch (const std::exception& e) {
                Debug(std::string("address report: ") + e.what());
                // A line removed meanwhile, a malformed answer: the next report goes on.
            }
        }
    }

    TUpdateIpTrd& owner_;
    WakeFlag pending_;  // a report is queued
    std::jthread thread_;
    // The owner's stop ends this thread too; reset before the thread is joined.
    std::optional<std::stop_callback<std::function<void()>>> ownerStop_;
};

TUpdateIpTrd::TUpdateIpTrd(Context context) : context_(context), random_(std::random_device{}()) {
    thread_ = std::jthread([this](std::stop_token stop) {
        platform::NameThisThread("vorta-update");
        Execute(stop);
    });
}

TUpdateIpTrd::~TUpdateIpTrd() {
    RequestStop();
    Join();
}

void TUpdateIpTrd::RequestStop() {
    // The reporters follow this token.
    thread_.request_stop();
}

void TUpdateIpTrd::Join() {
    if (thread_.joinable()) thread_.join();
}

void TUpdateIpTrd::NoteChange() {
    changed_.Raise();
}

void TUpdateIpTrd::Execute(std::stop_token stop) {
    while (!stop.stop_requested()) {
        try {
            SyncReporters(stop);
            LookAtLines(true);
            // Routes of lines deleted while their report was under way go now: their reporters
            // have ended.
            std::vector<std::string> entries;
            for (const auto& line : context_.lines.Lines())
                if (line) entries.push_back(line->EntryName());
            context_.routes.KeepHostRoutesOf(entries);
            // Jittered, so that clients that started together do not report in lock step.
            const auto until = Clock::now() + Jittered(context_.rest, kRestSpread, random_);
            while (changed_.WaitUntil(stop, until)) {
                if (!SleepUnlessStopped(stop, kSettle)) break;
                changed_.Take();
                SyncReporters(stop);
                LookAtLines(false);
            }
        } catch (const std::exception& e) {
            Debug(std::string("address report pass: ") + e.what());
            // The next pass goes on.
        }
    }
    reporters_.clear();  // every reporter's thread has ended when Join returns
}

void TUpdateIpTrd::SyncReporters(std::stop_token stop) {
    std::vector<std::string> ids;
    for (const LineSnapshot& line : context_.lines.Snapshot()) ids.push_back(line.info.LineID);
    std::erase_if(reporters_, [&](const auto& item) {
        return std::find(ids.begin(), ids.end(), item.first) == ids.end();
    });
    std::erase_if(states_, [&](const auto& item) {
        return std::find(ids.begin(), ids.end(), item.first) == ids.end();
    });
    for (const std::string& id : ids)
        if (!reporters_.contains(id))
            reporters_.emplace(id, std::make_unique<Reporter>(*this, id, stop));
}

void TUpdateIpTrd::LookAtLines(bool queueAll) {
    const std::vector<LineSnapshot> lines = context_.lines.Snapshot();
    std::vector<std::string> entries;
    for (const LineSnapshot& line : lines)
        entries.push_back(line.line ? line.line->EntryName() : "");
    const std::vector<std::string> interfaces = context_.routes.InterfaceStates(entries);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto& line = lines[i].line;
        if (!line) continue;
        std::string state = (line->GetActive() ? "up " : "not up ") + interfaces[i];
        std::string& last = states_[lines[i].info.LineID];
        const bool changed = last != state;
        last = std::move(state);
        const auto reporter = reporters_.find(lines[i].info.LineID);
        if ((queueAll || changed) && reporter != reporters_.end()) reporter->second->Queue();
    }
}

void TUpdateIpTrd::Explain(Reporter& reporter, TBaseLine& line, std::size_t number,
                           const std::string& reason) {
    if (!reason.empty()) line.SetReason(reason);
    if (reason.empty()) {
        reporter.logged.clear();
        return;
    }
    if (reporter.logged == reason) return;
    reporter.logged = reason;
    if (context_.log)
        context_.log(Fill(Tr("line {} ({}) not reported: {}"),
                          {std::to_string(number), line.EntryName(), reason}));
}

void TUpdateIpTrd::Report(std::stop_token stop, Reporter& reporter) {
    const Settings settings = context_.settings.Get();
    auto& request = reporter.request;
    auto& response = reporter.response;
    request.UserName = settings.UserName;
    request.UserPwd = settings.UserPwd;

    // The line and its number are read together: the number is the line's place now.
    const std::vector<LineSnapshot> lines = context_.lines.Snapshot();
    const auto at = std::find_if(lines.begin(), lines.end(), [&](const LineSnapshot& line) {
        return line.info.LineID == reporter.lineId;
    });
    if (at == lines.end() || !at->line) return;
    const std::size_t number = static_cast<std::size_t>(at - lines.begin()) + 1;
    const auto& line = at->line;
    if (!line->GetActive()) {
        context_.routes.RemoveHostRoutes(line->EntryName());
        std::string why = line->WhyNotUp();
        return Explain(reporter, *line, number,
                       why.empty() ? Fill(Tr("{} is not up"), {line->EntryName()}) : why);
    }

    const std::string url = FormatLineUrl(settings.LineUrlTemplate, static_cast<int>(number));
    if (url.empty())
        return Explain(reporter, *line, number, Tr("the line URL template is not usable"));
    const std::string host = ReadUrl(url).host;
    const std::string serviceAddress = context_.dns.Resolve(host, stop);
    if (stop.stop_requested()) return;
    if (serviceAddress.empty())
        return Explain(reporter, *line, number, Fill(Tr("{} cannot be resolved"), {host}));
    const TRouteResult route =
        context_.routes.AddHostRoute(line->EntryName(), line->GetIpAddress(), serviceAddress);
    if (!route) return Explain(reporter, *line, number, route.reason);
    request.LineID = reporter.lineId;
    request.UpdateIP =
        settings.IsInNet && !settings.IsMasterHost && settings.IsInLANBack ? "1" : "0";

    // The line's own host name stays in the request; the exchange goes to the address the route
    // was added for and leaves by the line's interface only.
    const HttpRoute pinned{serviceAddress, route.interface};
    std::string answer;
    HttpDetails details;
    HttpRequest("POST", url, request.SaveToXml(), answer, true, stop, pinned, &details,
                HttpLocking::Concurrent);
    if (answer.empty()) {
        if (stop.stop_requested()) return;
        if (!line->Authenticate()) {
            const std::string problem = line->LogonProblem();
            return Explain(reporter, *line, number,
                           problem.empty() ? std::string(Tr("the portal logon failed"))
                                           : Fill(Tr("the portal logon failed: {}"), {problem}));
        }
        HttpRequest("POST", url, request.SaveToXml(), answer, true, stop, pinned, &details,
                    HttpLocking::Concurrent);
        if (answer.empty()) {
            if (stop.stop_requested()) return;
            // The address may have moved: the name is asked again at the next pass.
            context_.dns.MarkStale(host);
            std::string why = Fill(Tr("the report to {} failed: {}"), {url, details.failure});
            if (const std::string problem = line->LogonProblem(); !problem.empty())
                why += " (" + problem + ")";
            return Explain(reporter, *line, number, why);
        }
    }
    // Nothing of the previous report may stand in for a field this answer lacks.
    response = TActiveTestExResp();
    if (!response.LoadFromXml(answer))
        return Explain(reporter, *line, number, Tr("the service's answer cannot be read"));
    if (response.Result != "0") {
        const int code = ResultCodeToInt(response.Result, kResultExchangeFailed);
        std::string text;
        ResultCodeText(code, text);
        return Explain(reporter, *line, number,
                       Fill(Tr("the service answered {} {}"), {std::to_string(code), text}));
    }
    line->SetIpAddress(response.UserIP);
    line->SetReported(std::chrono::system_clock::now());
    Explain(reporter, *line, number, "");
}

}  // namespace vorta
