// A captive portal's login page, read the way a web-login line reads it: the form, its action
// and the body that logs on. The bytes are tried as they are and as the plain-mode transport
// delivers them (up to the first zero byte, decoded from GBK, cut to its length limit).

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "lines/WebLoginForm.h"
#include "protocol/HttpRequest.h"
#include "protocol/ServiceUrls.h"
#include "protocol/TextCodec.h"

namespace vorta {
namespace {

constexpr std::string_view kFormOpen = "<form";
constexpr std::string_view kFormClose = "</form>";

bool HasUpper(std::string_view text) {
    for (const char c : text)
        if (c >= 'A' && c <= 'Z') return true;
    return false;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

void CheckAction(const std::string& form) {
    std::string host = "unset", port = "unset", path = "unset";
    try {
        ParseFormAction(form, host, port, path);
    } catch (const std::runtime_error&) {
        return;  // no usable action: the line gives up on this page
    }
    // The URL comes from the lower-cased tag; its path starts at the first "/", "?" or "#".
    FUZZ_CHECK(!HasUpper(host) && !HasUpper(port) && !HasUpper(path));
    FUZZ_CHECK(host.find_first_of("/?#@") == std::string::npos);
    FUZZ_CHECK(path.empty() || std::string_view("/?#").find(path.front()) != std::string::npos);
    const std::string tag = Lower(form.substr(0, form.find('>')));
    FUZZ_CHECK(tag.find(host) != std::string::npos);
    FUZZ_CHECK(tag.find(path) != std::string::npos);

    // The post goes to an http(s) URL with a host; an action naming no host of its own stays on
    // the page's host.
    std::string target;
    try {
        target = FormTarget(form, "http://portal.example:8080/a/page.html");
    } catch (const std::runtime_error&) {
        return;
    }
    FUZZ_CHECK(target.starts_with("http://") || target.starts_with("https://"));
    FUZZ_CHECK(!UrlHost(target).empty());
    const std::string action = FormAction(form);
    const bool namesHost = action.starts_with("//") || action.find("://") != std::string::npos;
    if (!namesHost && action.find(':') == std::string::npos)
        FUZZ_CHECK(target.starts_with("http://portal.example:8080/"));
}

void CheckPage(const std::string& page) {
    std::string form;
    try {
        form = ExtractForm(page);
    } catch (const std::runtime_error&) {
        FUZZ_CHECK(page.find(kFormOpen) == std::string::npos ||
                   page.find(kFormClose) == std::string::npos);
        return;
    }
    if (!form.empty()) {
        FUZZ_CHECK(form.starts_with(kFormOpen) && form.ends_with(kFormClose));
        FUZZ_CHECK(page.find(form) == page.find(kFormOpen));
    }
    CheckAction(form);

    const std::string body = BuildFormData(form, "user", "p w&d");
    if (Lower(form).find("<input") == std::string::npos) FUZZ_CHECK(body.empty());
}

}  // namespace
}  // namespace vorta

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const vorta::fuzz::ConversionModules modules{"GBK"};
    const std::string_view bytes = vorta::fuzz::AsText(data, size);
    vorta::CheckPage(std::string(bytes));
    const std::string_view received = bytes.substr(0, bytes.find('\0'));
    vorta::CheckPage(
        vorta::TruncateUtf16Units(vorta::DecodeToUtf8(received), vorta::kPlainModeMaxUnits));
    return 0;
}
