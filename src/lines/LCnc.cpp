#include "lines/LCnc.h"

#include <exception>

#include "lines/WebLoginForm.h"
#include "protocol/HttpRequest.h"
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
    Authenticate();
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

bool TCNCLine::Authenticate() {
    bool result = true;
    // Without its default route the line cannot reach the portal, so there is nothing to do.
    if (!services_.routes.HasDefaultRoute(EntryName())) return result;
    try {
        std::string answer;
        HttpRequest("GET", services_.probeUrl, "", answer, false, Stopping());
        if (answer == kProbeSeen) return result;
        // No answer at all is not a portal either; the next pass tries again.
        if (TrimControl(answer).empty()) return result;

        const std::string form = ExtractForm(answer);
        std::string host, port, path;
        ParseFormAction(form, host, port, path);
        const std::string body = BuildFormData(form, UserName(), Password());
        std::string reply;
        HttpRequest("POST", "http://" + host + ":" + port + path, body, reply, false, Stopping());
        result = reply.find(kLogonFailed) == std::string::npos;
    } catch (const std::exception&) {
        // A page that is no login form, or no HTTP handle: the attempt ends as it stands.
    }
    return result;
}

}  // namespace vorta
