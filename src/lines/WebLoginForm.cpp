#include "lines/WebLoginForm.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <stdexcept>
#include <vector>

#include "base/Url.h"
#include "protocol/ServiceUrls.h"
#include "protocol/TextCodec.h"

namespace vorta {
namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// A quoted attribute value found by searching `text` from `from` for `key`, then "=", then the
// first non-blank character, which is taken as the quote.
struct Quoted {
    std::size_t quoteAt;  // position of the opening quote in `text`
    std::string value;
};

std::optional<Quoted> FindQuoted(const std::string& text, std::string_view key, std::size_t from) {
    const std::size_t keyAt = text.find(key, from);
    if (keyAt == std::string::npos) return std::nullopt;
    const std::size_t equals = text.find('=', keyAt);
    if (equals == std::string::npos) return std::nullopt;
    std::size_t quoteAt = equals + 1;
    while (quoteAt < text.size() && static_cast<unsigned char>(text[quoteAt]) <= 32) ++quoteAt;
    if (quoteAt >= text.size()) return std::nullopt;
    const std::size_t closeAt = text.find(text[quoteAt], quoteAt + 1);
    if (closeAt == std::string::npos) return std::nullopt;
    return Quoted{quoteAt, text.substr(quoteAt + 1, closeAt - quoteAt - 1)};
}

}  // namespace

std::string ExtractForm(const std::string& page) {
    const std::size_t begin = page.find("<form");
    const std::size_t end = page.find("</form>");
    if (begin == std::string::npos || end == std::string::npos) {
        throw std::runtime_error("the page holds no login form");
    }
    // Both searches run over the whole page, as the portals' pages are written: a closing tag
    // before the opening one yields an empty form rather than a wrapped-around slice.
    const std::size_t stop = end + std::string_view("</form>").size();
    return stop > begin ? page.substr(begin, stop - begin) : std::string();
}

std::string FormAction(const std::string& form) {
    const std::string tag = Lower(form.substr(0, form.find('>')));
    const std::size_t actionAt = tag.find(" action");
    if (actionAt == std::string::npos) throw std::runtime_error("the form has no action");
    const std::size_t equals = tag.find('=', actionAt);
    if (equals == std::string::npos) throw std::runtime_error("the form action has no value");
    const std::string_view rest = TrimControl(std::string_view(tag).substr(equals + 1));
    if (rest.empty()) throw std::runtime_error("the form action has no value");
    const std::size_t closeAt = rest.find(rest.front(), 1);
    if (closeAt == std::string_view::npos) {
        throw std::runtime_error("the form action has no closing quote");
    }
    return std::string(TrimControl(rest.substr(1, closeAt - 1)));
}

void ParseFormAction(const std::string& form, std::string& host, std::string& port,
                     std::string& path) {
    const std::string url = FormAction(form);
    path.clear();
    SplitUrl(url, host, port, path);
}

std::string ResolveReference(const std::string& reference, const std::string& base) {
    const std::size_t schemeEnd = base.find("://");
    if (schemeEnd == std::string::npos) throw std::runtime_error("the page has no absolute URL");
    const std::string scheme = Lower(base.substr(0, schemeEnd));
    const std::size_t authorityEnd = base.find_first_of("/?#", schemeEnd + 3);
    const std::string origin = base.substr(0, authorityEnd);
    std::string basePath = authorityEnd == std::string::npos ? "/" : base.substr(authorityEnd);
    basePath = basePath.substr(0, basePath.find('#'));
    if (basePath.empty() || basePath.front() != '/') basePath.insert(0, "/");

    std::string ref = reference.substr(0, reference.find('#'));
    const std::size_t colon = ref.find(':');
    const bool hasScheme =
        colon != std::string::npos && colon > 0 && ref.find_first_of("/?") > colon &&
        std::all_of(ref.begin(), ref.begin() + static_cast<long>(colon), [](unsigned char c) {
            return std::isalnum(c) || c == '+' || c == '-' || c == '.';
        });
    if (hasScheme) return ref;
    if (ref.starts_with("//")) return scheme + ":" + ref;
    if (ref.empty()) return origin + basePath;

    std::string path;
    std::string query;
    if (ref.front() == '?') {
        path = basePath.substr(0, basePath.find('?'));
        query = ref;
    } else {
        const std::size_t q = ref.find('?');
        query = q == std::string::npos ? "" : ref.substr(q);
        ref = ref.substr(0, q);
        if (ref.front() == '/') {
            path = ref;
        } else {
            const std::string dir = basePath.substr(0, basePath.find('?'));
            path = dir.substr(0, dir.rfind('/') + 1) + ref;
        }
    }
    // Dot segments: "." stays where it is, ".." climbs one folder, never above the root.
    std::vector<std::string> segments;
    std::size_t at = 1;
    while (at <= path.size()) {
        const std::size_t next = path.find('/', at);
        const std::string segment =
            path.substr(at, next == std::string::npos ? std::string::npos : next - at);
        const bool last = next == std::string::npos;
        if (segment == "..") {
            if (!segments.empty()) segments.pop_back();
            if (last) segments.emplace_back();
        } else if (segment == ".") {
            if (last) segments.emplace_back();
        } else {
            segments.push_back(segment);
        }
        if (last) break;
        at = next + 1;
    }
    std::string resolved;
    for (const auto& segment : segments) resolved += "/" + segment;
    if (resolved.empty()) resolved = "/";
    return origin + resolved + query;
}

std::string FormTarget(const std::string& form, const std::string& pageUrl) {
    const std::string target = ResolveReference(FormAction(form), pageUrl);
    const std::string lower = Lower(target.substr(0, 8));
    if (!lower.starts_with("http://") && !lower.starts_with("https://"))
        throw std::runtime_error("the form posts to no web address");
    if (UrlHost(target).empty()) throw std::runtime_error("the form posts to no host");
    return target;
}

std::string BuildFormData(const std::string& form, const std::string& userName,
                          const std::string& password, std::string_view charset) {
    const std::string text = Lower(form);
    // The page's own charset for every byte of the body; the portal reads it that way.
    const auto bytes = [&](const std::string& value) { return EncodeFromUtf8(value, charset); };
    std::string body;
    std::size_t inputAt = text.find("<input");
    while (inputAt != std::string::npos) {
        const auto name = FindQuoted(text, " name", inputAt + std::string_view("<input").size());
        if (!name) break;  // nothing further can be named, so nothing further is sent
        std::size_t lastQuote = name->quoteAt;

        std::string value;
        if (name->value == "uid") {
            value = UrlEncode(bytes(userName));
        } else if (name->value == "upwd") {
            value = UrlEncode(bytes(password));
        } else if (name->value == "uact_status") {
            value = "1";
        } else if (const auto own = FindQuoted(text, " value", name->quoteAt + 1)) {
            value = name->value == "go" ? UrlEncode(bytes(own->value)) : bytes(own->value);
            lastQuote = own->quoteAt;
        }

        if (!body.empty()) body += '&';
        body += bytes(name->value) + "=" + value;
        inputAt = text.find("<input", lastQuote + 1);
    }
    return body;
}

}  // namespace vorta
