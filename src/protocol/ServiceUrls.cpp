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

}  // namespace vorta
