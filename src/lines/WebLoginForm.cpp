#include "lines/WebLoginForm.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <stdexcept>

#include "club/NetLib.h"
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

void ParseFormAction(const std::string& form, std::string& host, std::string& port,
                     std::string& path) {
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
    const std::string url(TrimControl(rest.substr(1, closeAt - 1)));
    path.clear();
    SplitUrl(url, host, port, path);
}

std::string BuildFormData(const std::string& form, const std::string& userName,
                          const std::string& password) {
    const std::string text = Lower(form);
    std::string body;
    std::size_t inputAt = text.find("<input");
    while (inputAt != std::string::npos) {
        const auto name = FindQuoted(text, " name", inputAt + std::string_view("<input").size());
        if (!name) break;  // nothing further can be named, so nothing further is sent
        std::size_t lastQuote = name->quoteAt;

        std::string value;
        if (name->value == "uid") {
            value = userName;
        } else if (name->value == "upwd") {
            value = password;
        } else if (name->value == "uact_status") {
            value = "1";
        } else if (const auto own = FindQuoted(text, " value", name->quoteAt + 1)) {
            value = name->value == "go" ? UrlEncode(own->value) : own->value;
            lastQuote = own->quoteAt;
        }

        if (!body.empty()) body += '&';
        body += name->value + "=" + value;
        inputAt = text.find("<input", lastQuote + 1);
    }
    return body;
}

}  // namespace vorta
