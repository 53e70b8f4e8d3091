#include "core/UpdateIpTrd.h"

#include <algorithm>
#include <exception>

#include "base/StopWait.h"
#include "core/RetryPlan.h"
#include "platform/ThreadName.h"
#include "protocol/DebugLog.h"
#include "protocol/HttpRequest.h"
#include "protocol/ResultCodes.h"
#include "protocol/ServiceUrls.h"

namespace vorta {

TUpdateIpTrd::TUpdateIpTrd(Context context) : context_(context), random_(std::random_device{}()) {
    request_.MsgType = kActiveTestExReq;
    request_.Version = kProtocolVersion;
    thread_ = std::jthread([this](std::stop_token stop) {
        platform::NameThisThread("vorta-update");
        Execute(stop);
    });
}

void TUpdateIpTrd::Execute(std::stop_token stop) {
    while (!stop.stop_requested()) {
        try {
            Cycle(stop);
        } catch (const std::exception& e) {
            Debug(std::string("address report cycle: ") + e.what());
            // A line removed meanwhile, a malformed answer: the next cycle goes on.
        }
    }
}

void TUpdateIpTrd::Explain(TBaseLine& line, std::size_t number, const std::string& reason) {
    if (!reason.empty()) line.SetReason(reason);
    const std::string entry = line.EntryName();
    if (reason.empty()) {
        logged_.erase(entry);
        return;
    }
    auto& last = logged_[entry];
    if (last == reason) return;
    last = reason;
    if (context_.log)
        context_.log("line " + std::to_string(number) + " (" + entry + ") not reported: " + reason);
}

void TUpdateIpTrd::Cycle(std::stop_token stop) {
    const Settings settings = context_.settings.Get();
    request_.UserName = settings.UserName;
    request_.UserPwd = settings.UserPwd;

    // The line and its LineID are read together: a line deleted meanwhile cannot lend its
    // place's identifier to the next one.
    const auto at = context_.lines.At(lineCounter_);
    if (!at) {
        lineCounter_ = 0;
        // Routes of lines deleted while their report was under way go now.
        std::vector<std::string> entries;
        for (const auto& line : context_.lines.Lines())
            if (line) entries.push_back(line->EntryName());
        context_.routes.KeepHostRoutesOf(entries);
        std::erase_if(logged_, [&](const auto& item) {
            return std::find(entries.begin(), entries.end(), item.first) == entries.end();
        });
        // Jittered, so that clients that started together do not report in lock step.
        SleepUnlessStopped(stop, Jittered(context_.rest, kRestSpread, random_));
        return;
    }
    const std::size_t number = ++lineCounter_;
    const auto& line = at->line;
    if (!line) return;
    if (!line->GetActive()) {
        context_.routes.RemoveHostRoutes(line->EntryName());
        std::string why = line->WhyNotUp();
        return Explain(*line, number, why.empty() ? line->EntryName() + " is not up" : why);
    }

    const std::string url = FormatLineUrl(settings.LineUrlTemplate, static_cast<int>(number));
    if (url.empty()) return Explain(*line, number, "the line URL template is not usable");
    const std::string host = ReadUrl(url).host;
    const std::string serviceAddress = context_.dns.Resolve(host, stop);
    if (stop.stop_requested()) return;
    if (serviceAddress.empty()) return Explain(*line, number, host + " cannot be resolved");
    const TRouteResult route =
        context_.routes.AddHostRoute(line->EntryName(), line->GetIpAddress(), serviceAddress);
    if (!route) return Explain(*line, number, route.reason);
    request_.LineID = at->info.LineID;
    request_.UpdateIP =
        settings.IsInNet && !settings.IsMasterHost && settings.IsInLANBack ? "1" : "0";

    // The line's own host name stays in the request; the exchange goes to the address the route
    // was added for and leaves by the line's interface only.
    const HttpRoute pinned{serviceAddress, route.interface};
    std::string answer;
    HttpDetails details;
    HttpRequest("POST", url, request_.SaveToXml(), answer, true, stop, pinned, &details,
                HttpLocking::Concurrent);
    if (answer.empty()) {
        if (stop.stop_requested()) return;
        if (!line->Authenticate()) {
            const std::string problem = line->LogonProblem();
            return Explain(*line, number,
                           "the portal logon failed" + (problem.empty() ? "" : ": " + problem));
        }
        HttpRequest("POST", url, request_.SaveToXml(), answer, true, stop, pinned, &details,
                    HttpLocking::Concurrent);
        if (answer.empty()) {
            if (stop.stop_requested()) return;
            // The address may have moved: the name is asked again at the next pass.
            context_.dns.MarkStale(host);
            std::string why = "the report to " + url + " failed: " + details.failure;
            if (const std::string problem = line->LogonProblem(); !problem.empty())
                why += " (" + problem + ")";
            return Explain(*line, number, why);
        }
    }
    // Nothing of the previous report may stand in for a field this answer lacks.
    response_ = TActiveTestExResp();
    if (!response_.LoadFromXml(answer))
        return Explain(*line, number, "the service's answer cannot be read");
    if (response_.Result != "0") {
        const int code = ResultCodeToInt(response_.Result, kResultExchangeFailed);
        std::string text;
        ResultCodeText(code, text);
        return Explain(*line, number, "the service answered " + std::to_string(code) + " " + text);
    }
    line->SetIpAddress(response_.UserIP);
    line->SetReported(std::chrono::system_clock::now());
    Explain(*line, number, "");
}

}  // namespace vorta
