#pragma once
// Reading a captive portal's login page: the form, where it posts to, and the body that logs the
// line's account on. The searches are plain substring searches over the page as received, the
// way the portals this line was built for write their pages; they are not an HTML parser.

#include <string>
#include <string_view>

namespace vorta {

// The page from the first "<form" through the first "</form>", matched case-sensitively.
// Throws std::runtime_error when either is missing.
std::string ExtractForm(const std::string& page);

// The form tag's action URL as written, lower-cased and trimmed. Throws std::runtime_error when
// the tag has no " action", no "=" after it, or no closing quote.
std::string FormAction(const std::string& form);

// The form tag's action URL, lower-cased, split into host, port ("80" when none) and path ("" when
// none; a path-only action gives an empty host). Throws as FormAction does.
void ParseFormAction(const std::string& form, std::string& host, std::string& port,
                     std::string& path);

// The absolute http(s) URL the form posts to: its action resolved against the URL of the page
// that holds it (an action without a host, a relative path or an empty one stays on the page's
// host). So a logon is only ever posted to the host that served the page or to one its own form
// names. Throws std::runtime_error for any other scheme or a target without a host.
std::string FormTarget(const std::string& form, const std::string& pageUrl);

// `reference` resolved against the absolute URL `base`, dot segments removed.
std::string ResolveReference(const std::string& reference, const std::string& base);

// The urlencoded body for the form: every named input in order as name=value joined by "&".
// "uid" and "upwd" carry the account form-encoded, so that "&", "+", "%" and blanks arrive
// intact; "uact_status" is "1", "go" is its own value url-encoded, every other input its own
// value as is. Names and values come from
// the lower-cased form. An input whose value attribute is missing takes the next value attribute
// further on (or "" when none follows). Reading stops at the first input whose name cannot be
// read, so a trailing nameless input ends the body.
// Every byte goes out in `charset`, the one the page came in (GBK when empty or unknown).
std::string BuildFormData(const std::string& form, const std::string& userName,
                          const std::string& password, std::string_view charset = "UTF-8");

}  // namespace vorta
