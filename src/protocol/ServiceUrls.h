#pragma once
// Where the client reaches the service. The defaults name placeholder hosts under the reserved
// .example domain; the program options and the settings override them.

#include <string>
#include <string_view>

#include "base/Url.h"

namespace vorta {

inline constexpr std::string_view kDefaultServiceUrl =
    "http://service.vorta.example/vorta/vorta.dll/";
// One %s in the first label: the line's 1-based position in the lines list.
inline constexpr std::string_view kDefaultLineUrlTemplate =
    "http://line%s.vorta.example/vorta/vorta.dll/";

// The per-line URL: the template with its %s replaced by `lineNumber`. An empty text when the
// template does not hold exactly one %s (no other conversion is honoured).
std::string FormatLineUrl(std::string_view lineUrlTemplate, int lineNumber);

}  // namespace vorta
