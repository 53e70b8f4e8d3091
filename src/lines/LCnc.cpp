#include "lines/LCnc.h"

#include <exception>

#include "base/NameResolver.h"
#include "base/Translate.h"
#include "base/Url.h"
#include "lines/WebLoginForm.h"
#include "protocol/DebugLog.h"
#include "protocol/HttpRequest.h"
#include "protocol/ServiceUrls.h"
#include "protocol/TextCodec.h"

namespace vorta {
namespace {

// What the portal's answer to a refused logon contains.
constexpr const char* kLogonFailed = "登入失败";
// The probe image read in plain mode stops at the zero byte after the width.
constexpr const char* kProbeSeen = "GIF89ap";

}  // namespace

TCNCLine::~TCNCLine() {
    StopKeepThread();
}

void TCNCLine::Initialize() {
    TBaseLine::Initialize();
    // The logon runs on the keep thread, never on the caller's: that may be the controller, or
    // the lines manager under its lock. Without an entry name there is nothing to log on yet.
    if (!EntryName().empty()) RequestAuthenticate();
}

int TCNCLine::Connect() {
    Authenticate();
    return 0;
}

bool TCNCLine::GetActive() {
    return services_.routes.HasDefaultRoute(EntryName());
}

void TCNCLine::SetActive(bool value) {
    if (value) {
        Connect();
    } else {
        Disconnect();
    }
}

bool TCNCLine::Fetch(const std::string& method, const std::string& url, const std::string& body,
                     std::string& answer, HttpDetails& details) {
    answer.clear();
    const UrlParts parts = ReadUrl(url);
    if (parts.host.empty() || !parts.web())
        return Problem("the portal sent no web address: " + url);
    // Throws when there is no address, and at once when the line is asked to stop.
    const auto addresses = ResolveUnlessStopped(services_.resolver, parts.host, Stopping());
    if (addresses.empty()) return Problem(parts.host + " cannot be resolved");
    const TRouteResult route =
        services_.routes.PortalRoute(EntryName(), IpAddressField(), addresses.front());
    if (!route) return Problem(route.reason);
    HttpRequest(method, url, body, answer, false, Stopping(),
                HttpRoute{addresses.front(), route.interface}, &details, HttpLocking::Concurrent);
    return true;
}

bool TCNCLine::Problem(std::string text) {
    SetLogonProblem(std::move(text));
    return false;
}

std::string TCNCLine::LogonProblem() const {
    std::lock_guard guard(problemLock_);
    return problem_;
}

void TCNCLine::SetLogonProblem(std::string text) {
    std::lock_guard guard(problemLock_);
    problem_ = std::move(text);
}

std::string TCNCLine::WhyNotUp() {
    return services_.routes.WhyNotUp(EntryName());
}

bool TCNCLine::Authenticate() {
    const std::lock_guard turn(logonLock_);
    bool result = true;
    // Without its default route the line cannot reach the portal, so there is nothing to do.
    if (!services_.routes.HasDefaultRoute(EntryName())) return result;
    SetLogonProblem({});
    try {
        std::string pageUrl = services_.probeUrl;
        std::string page;
        HttpDetails details;
        if (Fetch("GET", pageUrl, "", page, details) && page != kProbeSeen) {
            // A portal that redirects the probe shows its form one step further; only this one
            // redirect is followed, and only for the probe.
            bool fetched = true;
            if (!details.redirect.empty()) {
                pageUrl = details.redirect;
                fetched = Fetch("GET", pageUrl, "", page, details);
            }
            // No answer at all is not a portal either; the next pass tries again.
            if (fetched && !TrimControl(page).empty()) {
                const std::string form = ExtractForm(page);
                const std::string target = FormTarget(form, pageUrl);
                // The form goes back in the charset the page came in.
                const std::string body =
                    BuildFormData(form, UserName(), Password(), details.charset);
                std::string reply;
                HttpDetails posted;
                if (Fetch("POST", target, body, reply, posted)) {
                    result = reply.find(kLogonFailed) == std::string::npos;
                    if (!result)
                        SetLogonProblem(Tr("the portal refused the logon"));
                    else if (reply.empty())
                        SetLogonProblem(
                            Fill(Tr("the portal did not answer the logon: {}"), {posted.failure}));
                }
            } else if (fetched && !details.failure.empty() && details.redirect.empty()) {
                SetLogonProblem(
                    Fill(Tr("the portal page could not be fetched: {}"), {details.failure}));
            }
        }
    } catch (const std::exception& e) {
        Debug(std::string("web login: ") + e.what());
        SetLogonProblem(Fill(Tr("the portal logon failed: {}"), {e.what()}));
        // A page that is no login form, a host that cannot be resolved, or no HTTP handle: the
        // attempt ends as it stands.
    }
    services_.routes.RemovePortalRoutes(EntryName());
    return result;
}

}  // namespace vorta
