#include "lines/LCnc.h"

#include <exception>

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
                     std::string& answer, std::string* redirect) {
    const std::string host = UrlHost(url);
    if (host.empty()) return false;
    const auto addresses = services_.resolver(host);  // throws when there is none
    if (addresses.empty()) return false;
    const TRouteResult route =
        services_.routes.AddHostRoute(EntryName(), IpAddressField(), addresses.front());
    if (!route) return false;
    HttpRequest(method, url, body, answer, false, Stopping(),
                HttpRoute{addresses.front(), route.interface}, redirect);
    return true;
}

bool TCNCLine::Authenticate() {
    const std::lock_guard turn(logonLock_);
    bool result = true;
    // Without its default route the line cannot reach the portal, so there is nothing to do.
    if (!services_.routes.HasDefaultRoute(EntryName())) return result;
    try {
        std::string pageUrl = services_.probeUrl;
        std::string page, redirect;
        if (!Fetch("GET", pageUrl, "", page, &redirect)) return result;
        if (page == kProbeSeen) return result;
        // A portal that redirects the probe shows its form one step further; only this one
        // redirect is followed, and only for the probe.
        if (!redirect.empty()) {
            pageUrl = redirect;
            if (!Fetch("GET", pageUrl, "", page, nullptr)) return result;
        }
        // No answer at all is not a portal either; the next pass tries again.
        if (TrimControl(page).empty()) return result;

        const std::string form = ExtractForm(page);
        const std::string target = FormTarget(form, pageUrl);
        const std::string body = BuildFormData(form, UserName(), Password());
        std::string reply;
        if (!Fetch("POST", target, body, reply, nullptr)) return result;
        result = reply.find(kLogonFailed) == std::string::npos;
    } catch (const std::exception& e) {
        Debug(std::string("web login: ") + e.what());
        // A page that is no login form, a host that cannot be resolved, or no HTTP handle: the
        // attempt ends as it stands.
    }
    return result;
}

}  // namespace vorta
