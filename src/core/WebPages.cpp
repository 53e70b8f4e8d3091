#include "core/WebPages.h"

#include "base/Url.h"

namespace vorta {

namespace {

std::string HostText(const UrlParts& url) {
    return url.host.find(':') != std::string::npos ? "[" + url.host + "]" : url.host;
}

}  // namespace

std::string PageAddress(const std::string& serviceUrl, const char* pathAndQuery) {
    const UrlParts url = ReadUrl(serviceUrl);
    const std::string scheme = url.scheme.empty() ? "http" : url.scheme;
    const bool defaultPort = url.port.empty() || (scheme == "http" && url.port == "80") ||
                             (scheme == "https" && url.port == "443");
    return scheme + "://" + HostText(url) + (defaultPort ? "" : ":" + url.port) + pathAndQuery;
}

std::string SupportMailAddress(const std::string& serviceUrl) {
    return "mailto:support@" + ReadUrl(serviceUrl).host;
}

}  // namespace vorta
