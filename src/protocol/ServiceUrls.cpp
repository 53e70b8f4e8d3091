#include "protocol/ServiceUrls.h"

namespace vorta {

std::string FormatLineUrl(std::string_view lineUrlTemplate, int lineNumber) {
    const std::size_t at = lineUrlTemplate.find("%s");
    if (at == std::string_view::npos) return {};
    // A template with another conversion or a second %s is refused rather than formatted.
    for (std::size_t i = 0; i < lineUrlTemplate.size(); ++i)
        if (lineUrlTemplate[i] == '%' && i != at) return {};
    std::string url(lineUrlTemplate.substr(0, at));
    url += std::to_string(lineNumber);
    url += lineUrlTemplate.substr(at + 2);
    return url;
}

std::string UrlHost(std::string_view url) {
    const std::size_t scheme = url.find("://");
    if (scheme == std::string_view::npos) return {};
    std::string_view rest = url.substr(scheme + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (const std::size_t at = rest.rfind('@'); at != std::string_view::npos)
        rest.remove_prefix(at + 1);
    if (rest.starts_with('[')) {
        const std::size_t close = rest.find(']');
        return close == std::string_view::npos ? std::string()
                                               : std::string(rest.substr(1, close - 1));
    }
    return std::string(rest.substr(0, rest.find(':')));
}

}  // namespace vorta
