#pragma once
// The web-login broadband line: a line that is always up as far as the host can tell, but whose
// provider lets no traffic through until the account has logged on through a captive web page.
// Authenticating fetches a known image; when the portal answers in its place, the line fills in
// the portal's login form with its account and posts it back.

#include <mutex>
#include <string>

#include "lines/LineBase.h"
#include "protocol/HttpRequest.h"

namespace vorta {

// The probe fetched through the line; on a line that is logged on it is a GIF89a.
inline constexpr const char* kDefaultProbeUrl = "http://service.vorta.example/logo1.gif";

class TCNCLine : public TBaseLine {
public:
    static constexpr int kLineKind = 1;

    explicit TCNCLine(LineServices& services) : TBaseLine(services) {}
    ~TCNCLine() override;

    void Initialize() override;
    int Connect() override;
    int Disconnect() override { return 0; }
    std::string GetIpAddress() override { return IpAddressField(); }
    bool GetActive() override;
    void SetActive(bool value) override;
    std::string Describe() override { return "ClassName: TCNCLine"; }
    // False only when the portal answered the posted form with its failure text. Runs for
    // this line one at a time: a run that overlaps another (the keep thread's and the IP update
    // loop's) waits, then finds the line logged on instead of posting the form again.
    bool Authenticate() override;
    std::string WhyNotUp() override;
    std::string LogonProblem() const override;

private:
    // One exchange through this line only: pinned to the URL's host as resolved now, straight on
    // the line's own network or with a host route to it through the line, bound to the line's
    // interface. False when the line offers no way there, and then nothing is sent.
    bool Fetch(const std::string& method, const std::string& url, const std::string& body,
               std::string& answer, HttpDetails& details);
    // Notes `text` as the logon's problem; false.
    bool Problem(std::string text);
    void SetLogonProblem(std::string text);

    mutable std::mutex problemLock_;
    std::string problem_;
    std::mutex logonLock_;  // one Authenticate at a time; its exchanges end on the line's stop
};

}  // namespace vorta
