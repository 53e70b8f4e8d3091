#include "Portal.h"

#include <iconv.h>

#include <cerrno>
#include <memory>
#include <stdexcept>

namespace devservice::portal {
namespace {

struct IconvClose {
    void operator()(void* cd) const noexcept { iconv_close(static_cast<iconv_t>(cd)); }
};

std::string page(const std::string& title, const std::string& body) {
    return toGbk(
        "<!DOCTYPE html>\n<html>\n<head>\n"
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=GBK\">\n"
        "<title>" +
        title + "</title>\n</head>\n<body>\n" + body + "</body>\n</html>\n");
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// "+" is a blank and "%XX" a byte; a "%" not followed by two hex digits stays as it is.
std::string percentDecode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 &&
                   hexDigit(text[i + 2]) >= 0) {
            out += static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

std::string toGbk(std::string_view utf8) {
    std::unique_ptr<void, IconvClose> cd(iconv_open("GBK", "UTF-8"));
    if (cd.get() == reinterpret_cast<void*>(-1)) {
        cd.release();
        throw std::runtime_error("no UTF-8 to GBK conversion available");
    }
    std::string out(utf8.size() * 2 + 16, '\0');
    // iconv's interface is not const-correct; it only reads the input.
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* next = out.data();
    std::size_t outLeft = out.size();
    if (iconv(static_cast<iconv_t>(cd.get()), &in, &inLeft, &next, &outLeft) ==
        static_cast<std::size_t>(-1)) {
        throw std::runtime_error("text cannot be encoded as GBK");
    }
    out.resize(out.size() - outLeft);
    return out;
}

std::string loginPage(const std::string& actionUrl) {
    return page("宽带上网认证",
                "<h1>宽带上网认证</h1>\n<p>请输入您的宽带账号和密码。</p>\n"
                "<form name=\"login\" method=\"post\" action=\"" +
                    actionUrl +
                    "\">\n"
                    "账号：<input type=\"text\" name=\"uid\" size=\"20\"><br>\n"
                    "密码：<input type=\"password\" name=\"upwd\" size=\"20\"><br>\n"
                    "<input type=\"hidden\" name=\"uact_status\" value=\"0\">\n"
                    "<input type=\"hidden\" name=\"ctype\" value=\"Web\">\n"
                    "<input type=\"submit\" name=\"go\" value=\"登录\">\n"
                    "</form>\n");
}

std::string successPage() {
    static const std::string text =
        page("认证成功", "<h1>认证成功</h1>\n<p>您已登录，可以正常上网了。</p>\n");
    return text;
}

std::string failurePage() {
    static const std::string text =
        page("认证失败",
             std::string("<h1>") + kFailureText + "</h1>\n<p>账号或密码错误，请重试。</p>\n");
    return text;
}

std::map<std::string, std::string> formFields(std::string_view body) {
    std::map<std::string, std::string> fields;
    while (!body.empty()) {
        const std::size_t amp = body.find('&');
        const std::string_view pair = body.substr(0, amp);
        body = amp == std::string_view::npos ? std::string_view() : body.substr(amp + 1);
        const std::size_t equals = pair.find('=');
        const std::string name = percentDecode(pair.substr(0, equals));
        const std::string_view raw =
            equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1);
        fields.emplace(name, percentDecode(raw));
    }
    return fields;
}

}  // namespace devservice::portal
