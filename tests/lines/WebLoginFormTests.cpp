#include <gtest/gtest.h>

#include <stdexcept>

#include "lines/WebLoginForm.h"

namespace vorta {
namespace {

struct Action {
    std::string host, port, path;
};

Action ActionOf(const std::string& form) {
    Action a{"old-host", "old-port", "old-path"};
    ParseFormAction(form, a.host, a.port, a.path);
    return a;
}

TEST(ExtractForm, CutsFromTheFormTagThroughItsEnd) {
    const std::string page =
        "<html><body><p>x</p><form name=\"f\" action=\"/a\"><input name=\"uid\"></form>"
        "<form action=\"/second\"></form></body></html>";
    EXPECT_EQ(ExtractForm(page), "<form name=\"f\" action=\"/a\"><input name=\"uid\"></form>");
}

TEST(ExtractForm, CapitalLetterTagsAreNotRecognised) {
    EXPECT_THROW(ExtractForm("<FORM action=\"/a\"><input name=\"uid\"></FORM>"),
                 std::runtime_error);
    EXPECT_THROW(ExtractForm("<form action=\"/a\"><input name=\"uid\"></FORM>"),
                 std::runtime_error);
    EXPECT_THROW(ExtractForm("GIF89a"), std::runtime_error);
    EXPECT_THROW(ExtractForm(""), std::runtime_error);
}

TEST(ParseFormAction, FullUrlWithPort) {
    const Action a =
        ActionOf(R"(<form name="login" method="post" action="http://127.0.0.1:8081/portal/login">)"
                 R"(<input name="uid"></form>)");
    EXPECT_EQ(a.host, "127.0.0.1");
    EXPECT_EQ(a.port, "8081");
    EXPECT_EQ(a.path, "/portal/login");
    const Action next =
        ActionOf(R"(<form action="/login?next=http://198.51.100.1/"><input></form>)");
    EXPECT_EQ(next.host, "") << "a URL in the query is not the action's host";
    EXPECT_EQ(next.path, "/login?next=http://198.51.100.1/");
}

TEST(ParseFormAction, WithoutPortTheUrlIsLowerCasedAndPort80) {
    const Action a = ActionOf(R"(<FORM Method=post ACTION = 'HTTP://Portal.Example/Cgi/LogOn' >)");
    EXPECT_EQ(a.host, "portal.example");
    EXPECT_EQ(a.port, "80");
    EXPECT_EQ(a.path, "/cgi/logon");
}

TEST(ParseFormAction, HostWithoutPathGivesAnEmptyPath) {
    const Action a = ActionOf(R"(<form action=" http://portal.example:8000 ">)");
    EXPECT_EQ(a.host, "portal.example");
    EXPECT_EQ(a.port, "8000");
    EXPECT_EQ(a.path, "");
}

TEST(ParseFormAction, PathOnlyActionHasNoHost) {
    const Action a = ActionOf(R"(<form method="post" action="/portal/login"><input></form>)");
    EXPECT_EQ(a.host, "");
    EXPECT_EQ(a.port, "80");
    EXPECT_EQ(a.path, "/portal/login");
}

TEST(ParseFormAction, OnlyTheFormTagIsSearched) {
    EXPECT_THROW(ActionOf(R"(<form name="x"><input action="/a"></form>)"), std::runtime_error);
}

TEST(ParseFormAction, MalformedActionsThrow) {
    EXPECT_THROW(ActionOf(R"(<form action="http://h/p>)"), std::runtime_error) << "no close";
    EXPECT_THROW(ActionOf(R"(<form action>)"), std::runtime_error) << "no =";
    EXPECT_THROW(ActionOf(R"(<form action=  >)"), std::runtime_error) << "no value";
    EXPECT_THROW(ActionOf(R"(<form method="post">)"), std::runtime_error) << "no action";
    EXPECT_THROW(ActionOf(R"(<form formaction="/a">)"), std::runtime_error)
        << "the attribute must follow a blank";
}

TEST(BuildFormData, FillsInTheAccountAndTheStatus) {
    const std::string form =
        R"(<form action="/l"><input type="text" name="uid"><input type="password" name="upwd">)"
        R"(<input type="hidden" name="uact_status" value="0"><input type="button" name="go" )"
        R"(value="ok"></form>)";
    EXPECT_EQ(BuildFormData(form, "USER", "PASS"), "uid=USER&upwd=PASS&uact_status=1&go=ok");
}

TEST(BuildFormData, TheBodyIsInThePagesCharset) {
    const std::string form =
        R"(<form><input name="uid"><input name="upwd"><input name="go" value="登录">)"
        R"(<input name="note" value="好"></form>)";
    EXPECT_EQ(BuildFormData(form, "张三", "密", "GBK"),
              "uid=%D5%C5%C8%FD&upwd=%C3%DC&go=%B5%C7%C2%BC&note=\xBA\xC3");
    EXPECT_EQ(BuildFormData(form, "张三", "密", "UTF-8"),
              "uid=%E5%BC%A0%E4%B8%89&upwd=%E5%AF%86&go=%E7%99%BB%E5%BD%95&note=好");
}

TEST(BuildFormData, HiddenValuesAreSentLowerCase) {
    const std::string form =
        R"(<form action="/l"><INPUT TYPE="hidden" NAME="CType" VALUE="WebPortal">)"
        R"(<input type="hidden" name="Token" value="AbC123"></form>)";
    EXPECT_EQ(BuildFormData(form, "u", "p"), "ctype=webportal&token=abc123");
}

TEST(BuildFormData, AccountIsFormEncoded) {
    const std::string form = R"(<form><input name="uid"><input name="upwd"></form>)";
    EXPECT_EQ(BuildFormData(form, "Ann&co=1", "P+w%D x"), "uid=Ann%26co%3D1&upwd=P%2Bw%25D+x");
}

TEST(FormTarget, ActionIsResolvedAgainstThePagesOwnUrl) {
    const std::string page = "http://portal.example:8080/auth/page.html?from=x";
    const auto target = [&](const std::string& action) {
        return FormTarget("<form action=\"" + action + "\">", page);
    };
    EXPECT_EQ(target("http://other.example/l"), "http://other.example/l");
    EXPECT_EQ(target("//other.example/l"), "http://other.example/l");
    EXPECT_EQ(target("/login"), "http://portal.example:8080/login");
    EXPECT_EQ(target("login.cgi"), "http://portal.example:8080/auth/login.cgi")
        << "a relative path is no host name";
    EXPECT_EQ(target("../x/./y"), "http://portal.example:8080/x/y");
    EXPECT_EQ(target("../../../z"), "http://portal.example:8080/z");
    EXPECT_EQ(target("?a=1"), "http://portal.example:8080/auth/page.html?a=1");
    EXPECT_EQ(target(""), "http://portal.example:8080/auth/page.html?from=x");
    EXPECT_EQ(target("LOGIN"), "http://portal.example:8080/auth/login") << "read lower-cased";
    EXPECT_EQ(FormTarget(R"(<form action="a">)", "http://p.example"), "http://p.example/a");
    for (const char* bad :
         {"javascript:go()", "mailto:x@example", "ftp://p.example/x", "http:///x"})
        EXPECT_THROW(target(bad), std::runtime_error) << bad;
    EXPECT_THROW(FormTarget(R"(<form method="post">)", page), std::runtime_error);
}

TEST(BuildFormData, GoValueIsUrlEncoded) {
    const std::string form =
        R"(<form><input type="submit" name="go" value="Log On!"><input name="Other" )"
        R"(value="a b!"></form>)";
    EXPECT_EQ(BuildFormData(form, "u", "p"), "go=log+on%21&other=a b!");
    EXPECT_EQ(BuildFormData(R"(<form><input name="go" value="登录"></form>)", "u", "p"),
              "go=%E7%99%BB%E5%BD%95");
}

TEST(BuildFormData, InputWithoutValueTakesTheNextValueFurtherOn) {
    const std::string form =
        R"(<form><input type="checkbox" name="remember"><input type="hidden" name="lang" )"
        R"(value="ZH"><input name="last"></form>)";
    // "remember" borrows lang's value and the search resumes after it, so "lang" is skipped;
    // "last" finds no value attribute at all.
    EXPECT_EQ(BuildFormData(form, "u", "p"), "remember=zh&last=");
}

TEST(BuildFormData, QuotesMayBeSingleAndBlanksSurroundTheEquals) {
    const std::string form = "<form><input name = 'a' value=\n\t'X'><input name=\"b\" value=\"\">";
    EXPECT_EQ(BuildFormData(form, "u", "p"), "a=x&b=");
}

TEST(BuildFormData, ReadingStopsAtAnInputWithoutAName) {
    const std::string form = R"(<form><input name="uid"><input type="submit" value="go"></form>)";
    EXPECT_EQ(BuildFormData(form, "u", "p"), "uid=u");
    EXPECT_EQ(BuildFormData(R"(<form><input name="a></form>)", "u", "p"), "")
        << "a name without its closing quote ends the body too";
    EXPECT_EQ(BuildFormData("<form>no inputs</form>", "u", "p"), "");
}

}  // namespace
}  // namespace vorta
