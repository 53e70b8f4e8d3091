#pragma once
// Reading a captive portal's login page: the form, where it posts to, and the body that logs the
// line's account on. The searches are plain substring searches over the page as received, the
// way the portals this line was built for write their pages; they are not an HTML parser.

#include <string>

namespace vorta {

// The page from the first "<form" through the first "</form>", matched case-sensitively.
// Throws std::runtime_error when either is missing.
std::string ExtractForm(const std::string& page);

// The form tag's action URL, lower-cased, split into host, port ("80" when none) and path ("" when
// none; a path-only action gives an empty host). Throws std::runtime_error when the tag has no
// " action", no "=" after it, or no closing quote.
void ParseFormAction(const std::string& form, std::string& host, std::string& port,
                     std::string& path);

// The urlencoded body for the form: every named input in order as name=value joined by "&".
// "uid" and "upwd" carry the account exactly as given (not encoded), "uact_status" is "1", "go"
// is its own value url-encoded, every other input its own value as is. Names and values come from
// the lower-cased form. An input whose value attribute is missing takes the next value attribute
// further on (or "" when none follows). Reading stops at the first input whose name cannot be
// read, so a trailing nameless input ends the body.
std::string BuildFormData(const std::string& form, const std::string& userName,
                          const std::string& password);

}  // namespace vorta
