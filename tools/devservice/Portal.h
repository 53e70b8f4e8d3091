#pragma once
// The captive portal the service can play: a GBK login page standing in for every answer until
// the client's address has posted an account of the fixture back to it.

#include <map>
#include <string>
#include <string_view>

namespace devservice::portal {

constexpr const char* kLoginPath = "/portal/login";
constexpr const char* kPagePath = "/portal/page";  // where the redirecting portal sends clients
constexpr const char* kHtmlType = "text/html; charset=GBK";
// In the refusal page only; the web-login line looks for it.
constexpr const char* kFailureText = "登入失败";

// The pages, GBK encoded. The login form posts to `actionUrl`.
std::string loginPage(const std::string& actionUrl);
std::string successPage();
std::string failurePage();

// Fields of an urlencoded body, split on "&" and the first "="; every name and value is
// percent-decoded ("+" is a blank). A repeated name keeps its first value.
std::map<std::string, std::string> formFields(std::string_view body);

// Throws std::runtime_error for text that is not UTF-8 or not representable in GBK.
std::string toGbk(std::string_view utf8);

}  // namespace devservice::portal
