// Captive-portal mode: the login page held up in front of every answer, and the form post that
// lets an address through.
#include <gmock/gmock.h>
#include <iconv.h>

#include <nlohmann/json.hpp>

#include "Portal.h"
#include "ProbeImage.h"
#include "TestSupport.h"

namespace devservice::test {
namespace {

using nlohmann::json;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

// GBK bytes of 登录, the submit button's caption, written out so the check does not lean on the
// service's own encoder.
const std::string kGbkLoginCaption = "\xB5\xC7\xC2\xBC";

// Decodes GBK to UTF-8; an empty result marks bytes that are not GBK.
std::string fromGbk(const std::string& gbk) {
    iconv_t cd = iconv_open("UTF-8", "GBK");
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    std::string out(gbk.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(gbk.data());
    std::size_t inLeft = gbk.size();
    char* next = out.data();
    std::size_t outLeft = out.size();
    const bool ok = iconv(cd, &in, &inLeft, &next, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    if (!ok) return {};
    out.resize(out.size() - outLeft);
    return out;
}

const char* const kFormBodyFor = "uact_status=1&ctype=web&go=%E7%99%BB%E5%BD%95";

std::string formBody(const std::string& user, const std::string& password) {
    return "uid=" + user + "&upwd=" + password + "&" + kFormBodyFor;
}

class PortalTest : public ServiceTest {
protected:
    std::string actionUrl() const {
        return "http://127.0.0.1:" + std::to_string(service.port()) + portal::kLoginPath;
    }

    // Asserts the answer is the GBK login page and returns it as UTF-8.
    std::string expectLoginPage(const httplib::Result& res) const {
        EXPECT_TRUE(res);
        if (!res) return {};
        EXPECT_EQ(res->status, 200);
        EXPECT_EQ(res->get_header_value("Content-Type"), "text/html; charset=GBK");
        EXPECT_THAT(res->body, HasSubstr(kGbkLoginCaption));
        const std::string page = fromGbk(res->body);
        EXPECT_THAT(page, HasSubstr(R"(<form name="login" method="post" action=")" + actionUrl() +
                                    R"(">)"));
        return page;
    }

    httplib::Result logOn(const std::string& body) const {
        return client().Post(portal::kLoginPath, body, "application/x-www-form-urlencoded");
    }
};

TEST_F(PortalTest, OffByDefaultWithTheProbeImageUnderBothPaths) {
    EXPECT_FALSE(service.portal());
    auto logo = client().Get(DevService::kLogoPath);
    ASSERT_TRUE(logo);
    EXPECT_EQ(logo->status, 200);
    EXPECT_EQ(logo->get_header_value("Content-Type"), "image/gif");
    EXPECT_EQ(logo->body, probeImage());
    auto probe = client().Get(DevService::kProbePath);
    ASSERT_TRUE(probe);
    EXPECT_EQ(probe->body, logo->body);

    auto login = logOn(formBody("demo", "demo123"));
    ASSERT_TRUE(login);
    EXPECT_EQ(login->status, 404) << "no portal, no login route";
    EXPECT_TRUE(service.portalLogons().empty());
}

TEST_F(PortalTest, EveryClientRequestGetsTheLoginPageUntilLoggedOn) {
    service.setPortal(true);
    const std::string page = expectLoginPage(client().Get(DevService::kLogoPath));
    for (const char* input :
         {R"(<input type="text" name="uid")", R"(<input type="password" name="upwd")",
          R"(<input type="hidden" name="uact_status" value="0">)",
          R"(<input type="hidden" name="ctype" value="Web">)",
          R"(<input type="submit" name="go" value="登录">)"}) {
        EXPECT_THAT(page, HasSubstr(input));
    }
    EXPECT_THAT(page, HasSubstr("charset=GBK"));
    EXPECT_THAT(page, Not(HasSubstr(portal::kFailureText)));

    expectLoginPage(client().Get(DevService::kProbePath));
    expectLoginPage(client().Get("/no/such/page"));
    expectLoginPage(client().Get(portal::kLoginPath));
    expectLoginPage(post(request(Exchange::Profile, "demo", "demo123")));
    EXPECT_TRUE(service.lineReports().empty());
    EXPECT_EQ(service.requests().size(), 5u) << "held-back requests are still recorded";
}

TEST_F(PortalTest, ControlRoutesAreNeverHeldBack) {
    service.setPortal(true);
    auto records = client().Get("/control/records");
    ASSERT_TRUE(records);
    EXPECT_EQ(records->status, 200);
    EXPECT_EQ(records->get_header_value("Content-Type"), "application/json");
    EXPECT_TRUE(json::parse(records->body).at("portalLogons").empty());
}

TEST_F(PortalTest, GoodAccountLogsTheAddressOnAndLetsItThrough) {
    service.setPortal(true);
    auto res = logOn(formBody("demo", "demo123"));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/html; charset=GBK");
    const std::string page = fromGbk(res->body);
    EXPECT_THAT(page, HasSubstr("认证成功"));
    EXPECT_THAT(page, Not(HasSubstr(portal::kFailureText)));
    EXPECT_THAT(service.portalLogons(), ElementsAre("127.0.0.1"));

    auto logo = client().Get(DevService::kLogoPath);
    ASSERT_TRUE(logo);
    EXPECT_EQ(logo->body, probeImage());
    EXPECT_EQ(exchange(request(Exchange::Profile, "demo", "demo123")).text("Result"), "0");
    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].path, portal::kLoginPath);
    EXPECT_EQ(requests[0].body, formBody("demo", "demo123"));
}

TEST_F(PortalTest, WrongPasswordOrUnknownUserGetsTheFailurePage) {
    service.setPortal(true);
    for (const auto& body : {formBody("demo", "wrong"), formBody("nobody", "demo123"),
                             std::string("uid=demo"), std::string()}) {
        auto res = logOn(body);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200) << body;
        EXPECT_THAT(fromGbk(res->body), HasSubstr(portal::kFailureText)) << body;
    }
    EXPECT_TRUE(service.portalLogons().empty());
    expectLoginPage(client().Get(DevService::kLogoPath));
}

TEST_F(PortalTest, AccountIsFormDecoded) {
    json users = {{"users", {{{"name", "x+y&%"}, {"password", "p q=1"}, {"userId", "7"}}}}};
    DevService decoding(Fixture::fromJson(users));
    ASSERT_TRUE(decoding.start("127.0.0.1", 0));
    decoding.setPortal(true);
    httplib::Client cli("127.0.0.1", decoding.port());
    auto raw = cli.Post(portal::kLoginPath, "uid=x+y&%&upwd=p q=1", "text/plain");
    ASSERT_TRUE(raw);
    EXPECT_THAT(fromGbk(raw->body), HasSubstr(portal::kFailureText)) << "unencoded is refused";
    EXPECT_TRUE(decoding.portalLogons().empty());
    auto encoded = cli.Post(portal::kLoginPath, "uid=x%2By%26%25&upwd=p+q%3D1", "text/plain");
    ASSERT_TRUE(encoded);
    EXPECT_THAT(fromGbk(encoded->body), Not(HasSubstr(portal::kFailureText)));
    EXPECT_THAT(decoding.portalLogons(), ElementsAre("127.0.0.1"));
    decoding.stop();
}

TEST_F(PortalTest, FormFieldsSplitOnAmpersandAndTheFirstEquals) {
    const auto fields =
        portal::formFields("uid=a%2Bb&upwd=p=q&x%20y=1+2%21&flag&go=%E7%99%BB&uid=second&bad=%G1");
    EXPECT_EQ(fields.at("uid"), "a+b");
    EXPECT_EQ(fields.at("upwd"), "p=q");
    EXPECT_EQ(fields.at("x y"), "1 2!");
    EXPECT_EQ(fields.at("flag"), "");
    EXPECT_EQ(fields.at("go"), "登");
    EXPECT_EQ(fields.at("bad"), "%G1");
    EXPECT_EQ(fields.size(), 6u);
}

TEST_F(PortalTest, ResetLogsEveryAddressOff) {
    service.setPortal(true);
    ASSERT_TRUE(logOn(formBody("alice", "secret")));
    ASSERT_EQ(service.portalLogons().size(), 1u);
    service.reset();
    EXPECT_TRUE(service.portalLogons().empty());
    EXPECT_TRUE(service.requests().empty());
    expectLoginPage(client().Get(DevService::kLogoPath));
}

TEST_F(PortalTest, LogonsOutlastSwitchingThePortalOffAndOn) {
    service.setPortal(true);
    ASSERT_TRUE(logOn(formBody("demo", "demo123")));
    service.setPortal(false);
    service.setPortal(true);
    auto logo = client().Get(DevService::kLogoPath);
    ASSERT_TRUE(logo);
    EXPECT_EQ(logo->body, probeImage());
}

TEST_F(PortalTest, ControlRouteSwitchesThePortalAndRecordsListLogons) {
    auto on = client().Post("/control/portal", R"({"enabled":true})", "application/json");
    ASSERT_TRUE(on);
    EXPECT_EQ(on->status, 200);
    EXPECT_EQ(json::parse(on->body).at("enabled"), true);
    EXPECT_TRUE(service.portal());
    ASSERT_TRUE(logOn(formBody("demo", "demo123")));

    auto records = client().Get("/control/records");
    ASSERT_TRUE(records);
    EXPECT_EQ(json::parse(records->body).at("portalLogons"), json::array({"127.0.0.1"}));

    auto off = client().Post("/control/portal", R"({"enabled":false})", "application/json");
    ASSERT_TRUE(off);
    EXPECT_EQ(off->status, 200);
    EXPECT_FALSE(service.portal());

    for (const char* bad :
         {R"({"enabled":"yes"})", R"({})", R"({"enabled":true,"x":1})", "[true]", "{nope"}) {
        auto res = client().Post("/control/portal", bad, "application/json");
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 400) << bad;
        EXPECT_TRUE(json::parse(res->body).contains("error")) << bad;
    }
    EXPECT_FALSE(service.portal());
}

}  // namespace
}  // namespace devservice::test
