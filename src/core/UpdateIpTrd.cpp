#include "core/UpdateIpTrd.h"

#include <exception>

#include "core/StopWait.h"
#include "protocol/HttpRequest.h"
#include "protocol/ServiceUrls.h"

namespace vorta {

TUpdateIpTrd::TUpdateIpTrd(Context context) : context_(context) {
    request_.MsgType = kActiveTestExReq;
    request_.Version = kProtocolVersion;
    thread_ = std::jthread([this](std::stop_token stop) { Execute(stop); });
}

void TUpdateIpTrd::Execute(std::stop_token stop) {
    while (!stop.stop_requested()) {
        try {
            Cycle(stop);
        } catch (const std::exception&) {
            // A line removed meanwhile, a malformed answer: the next cycle goes on.
        }
    }
}

void TUpdateIpTrd::Cycle(std::stop_token stop) {
    const Settings settings = context_.settings.Get();
    request_.UserName = settings.UserName;
    request_.UserPwd = settings.UserPwd;

    const auto lines = context_.lines.Lines();
    if (lineCounter_ >= lines.size()) {
        lineCounter_ = 0;
        SleepUnlessStopped(stop, context_.rest);
        return;
    }
    const std::size_t number = ++lineCounter_;
    const auto& line = lines[number - 1];
    if (!line || !line->GetActive()) return;

    const std::string url = FormatLineUrl(settings.LineUrlTemplate, static_cast<int>(number));
    if (url.empty()) return;
    const std::string serviceAddress = context_.dns.ResolveUrl(url);
    if (serviceAddress.empty()) return;
    if (!context_.routes.AddHostRoute(line->EntryName(), line->GetIpAddress(), serviceAddress))
        return;
    {
        std::lock_guard guard(context_.lines.Lock());
        const auto& infos = context_.lines.LineInfos();
        request_.LineID = number - 1 < infos.size() ? infos[number - 1].LineID : std::string();
    }
    request_.UpdateIP =
        settings.IsInNet && !settings.IsMasterHost && settings.IsInLANBack ? "1" : "0";

    // The line's own host name stays in the request; the host route decides the way out.
    std::string answer;
    HttpRequest("POST", url, request_.SaveToXml(), answer, true, stop);
    if (answer.empty()) {
        if (stop.stop_requested() || !line->Authenticate()) return;
        HttpRequest("POST", url, request_.SaveToXml(), answer, true, stop);
        if (answer.empty()) return;
    }
    response_.LoadFromXml(answer);
    if (response_.Result == "0") line->SetIpAddress(response_.UserIP);
}

}  // namespace vorta
