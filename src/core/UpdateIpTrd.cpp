#include "core/UpdateIpTrd.h"

#include <algorithm>
#include <exception>

#include "base/StopWait.h"
#include "platform/ThreadName.h"
#include "protocol/DebugLog.h"
#include "protocol/HttpRequest.h"
#include "protocol/ServiceUrls.h"

namespace vorta {

TUpdateIpTrd::TUpdateIpTrd(Context context) : context_(context) {
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
    line.SetReason(reason);
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
        SleepUnlessStopped(stop, context_.rest);
        return;
    }
    const std::size_t number = ++lineCounter_;
    const auto& line = at->line;
    if (!line) return;
    if (!line->GetActive()) {
        context_.routes.RemoveHostRoutes(line->EntryName());
        Explain(*line, number, context_.routes.WhyNotUp(line->EntryName()));
        return;
    }

    const std::string url = FormatLineUrl(settings.LineUrlTemplate, static_cast<int>(number));
    if (url.empty()) return Explain(*line, number, "the line URL template is not usable");
    const std::string serviceAddress = context_.dns.ResolveUrl(url);
    if (serviceAddress.empty())
        return Explain(*line, number, "the host of " + url + " cannot be resolved");
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
    HttpRequest("POST", url, request_.SaveToXml(), answer, true, stop, pinned);
    if (answer.empty()) {
        if (stop.stop_requested() || !line->Authenticate()) return;
        HttpRequest("POST", url, request_.SaveToXml(), answer, true, stop, pinned);
        if (answer.empty()) return;
    }
    Explain(*line, number, "");
    // Nothing of the previous report may stand in for a field this answer lacks.
    response_ = TActiveTestExResp();
    if (response_.LoadFromXml(answer) && response_.Result == "0")
        line->SetIpAddress(response_.UserIP);
}

}  // namespace vorta
