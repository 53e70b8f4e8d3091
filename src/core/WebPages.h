#pragma once
// The addresses of the service's web pages, for every window: the service URL's scheme and host
// (and port, so that a test service on loopback serves them too) with each page's fixed path and
// query.

#include <string>

namespace vorta {

namespace page {
inline constexpr const char* kRegister = "/client?101";
inline constexpr const char* kDomainRegister = "/client?102";
inline constexpr const char* kDomainAdmin = "/client?103";
inline constexpr const char* kChangePassword = "/client?105";
inline constexpr const char* kPasswordRecovery = "/client?106";
inline constexpr const char* kVersionCheck = "/client?107";
inline constexpr const char* kSupport = "/client?201";
inline constexpr const char* kDomainTransfer = "/client?202";
inline constexpr const char* kForum = "/client?203";
// The one number the service menu's pages leave free, between the forum and the added services.
inline constexpr const char* kPaymentNotes = "/client?204";
inline constexpr const char* kValueAdded = "/client?205";
inline constexpr const char* kRecommend = "/client?206";
inline constexpr const char* kAgreement = "/client?207";
inline constexpr const char* kWhyCollect = "/client?208";
}  // namespace page

// `pathAndQuery` on the site of `serviceUrl`: "scheme://host[:port]" and the path. The port is
// written only where it is not the scheme's default.
std::string PageAddress(const std::string& serviceUrl, const char* pathAndQuery);
// The mail link to the support address at the service's host.
std::string SupportMailAddress(const std::string& serviceUrl);

}  // namespace vorta
