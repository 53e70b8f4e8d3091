// HttpRequest against the development service on loopback: every failure path and the
// guarantees around the process-wide lock, stopping and memory.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <thread>

#include "DevServiceFixture.h"

#include "base/AsciiText.h"
#include "protocol/DebugLog.h"
#include "protocol/Messages.h"
#include "protocol/TextCodec.h"

namespace vorta {
namespace {

using devservice::Exchange;
using std::chrono::milliseconds;
using std::chrono::seconds;
using Clock = std::chrono::steady_clock;

class HttpRequestTest : public test::DevServiceTest {
protected:
    std::string ProfileQuery(const std::string& user = "demo", const std::string& pwd = "demo123") {
        TUserAuthReq req;
        req.MsgType = kQueryUserProfileReq;
        req.UserName = user;
        req.UserPwd = pwd;
        return req.SaveToXml();
    }
    std::string Post(const std::string& body, bool xmlMode = true) {
        std::string response = "stale";
        HttpRequest("POST", ServiceUrl(), body, response, xmlMode);
        return response;
    }
};

// A loopback port with nothing listening on it.
int ClosedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);
    return ntohs(addr.sin_port);
}

TEST_F(HttpRequestTest, ValidAnswerComesBackAsUtf8Document) {
    const std::string answer = Post(ProfileQuery());
    ASSERT_FALSE(answer.empty());
    EXPECT_TRUE(IsValidXml(answer));
    EXPECT_NE(answer.find(R"(encoding="UTF-8")"), std::string::npos);
    TQueryUserProfileResp resp;
    ASSERT_TRUE(resp.LoadFromXml(answer));
    EXPECT_EQ(resp.Result, "0");
    EXPECT_EQ(resp.Profile.UserName, "demo");
}

TEST_F(HttpRequestTest, GbkAnswerWithChineseTextDecodesCorrectly) {
    TBaseReq req;
    req.MsgType = kGetServiceListReq;
    req.Version = kProtocolVersion;
    req.UserName = "demo";
    req.UserPwd = "demo123";
    const std::string answer = Post(req.SaveToXml());
    ASSERT_FALSE(answer.empty());
    ASSERT_TRUE(IsValidUtf8(answer));
    TGetServiceListResp resp;
    ASSERT_TRUE(resp.LoadFromXml(answer));
    const auto users = devservice::Fixture::builtIn().users;
    const auto& expected = users.front().domains;
    ASSERT_EQ(resp.Domains.size(), expected.size());
    bool sawChinese = false;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(resp.Domains[i].Status, expected[i].status);
        EXPECT_EQ(resp.Domains[i].DomainName, expected[i].domainName);
        sawChinese |= !expected[i].status.empty() &&
                      static_cast<unsigned char>(expected[i].status[0]) >= 0x80;
    }
    EXPECT_TRUE(sawChinese) << "the fixture should carry Chinese text";
}

TEST_F(HttpRequestTest, EmptyUrlReturnsAtOnceEvenWhileTheLockIsHeld) {
    service.setFault(Exchange::Profile, test::Delay(30000));
    std::atomic<bool> done{false};
    std::jthread busy([&](std::stop_token stop) {
        std::string response;
        HttpRequest("POST", ServiceUrl(), ProfileQuery(), response, true, stop);
        done = true;
    });
    ASSERT_TRUE(AwaitRequests(1));
    std::string response = "stale";
    HttpRequest("POST", "", "body", response, true);
    EXPECT_EQ(response, "");
    EXPECT_FALSE(done) << "the other exchange still holds the lock";
    busy.request_stop();
}

TEST_F(HttpRequestTest, RefusedConnectionGivesEmptyResponse) {
    std::string response = "stale";
    HttpRequest("POST", "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/vorta/vorta.dll/",
                ProfileQuery(), response, true);
    EXPECT_EQ(response, "");
}

TEST_F(HttpRequestTest, StatusOtherThan200FailsEvenWithAValidDocument) {
    for (int status : {404, 500, 201}) {
        service.setFault(Exchange::Profile, test::Status(status));
        EXPECT_EQ(Post(ProfileQuery()), "") << status;
        EXPECT_EQ(Post(ProfileQuery(), false), "") << status;
    }
    std::string response = "stale";
    HttpRequest("GET", BaseUrl() + "/no/such/page", "", response, false);
    EXPECT_EQ(response, "");
}

TEST_F(HttpRequestTest, NonXmlBodyFailsInXmlModeButReadsInPlainMode) {
    service.setFault(Exchange::Profile, test::Body("Service Unavailable"));
    EXPECT_EQ(Post(ProfileQuery(), true), "");
    EXPECT_EQ(Post(ProfileQuery(), false), "Service Unavailable");
}

TEST_F(HttpRequestTest, PlainModeCutsAtTheFirstZeroByte) {
    std::string response;
    HttpRequest("GET", BaseUrl() + devservice::DevService::kProbePath, "", response, false);
    EXPECT_EQ(response, "GIF89ap");

    service.setFault(Exchange::Profile, test::Body(std::string("ab\0cd", 5)));
    EXPECT_EQ(Post(ProfileQuery(), false), "ab");
}

TEST_F(HttpRequestTest, PlainModeDecodesGbkUnlessAnotherCharsetIsNamed) {
    const std::string gbk = Utf8ToGbk("欢迎登录");
    service.setFault(Exchange::Profile, test::Body(gbk, "text/html"));
    EXPECT_EQ(Post(ProfileQuery(), false), "欢迎登录");
    service.setFault(Exchange::Profile, test::Body("欢迎登录", "text/html; charset=\"UTF-8\""));
    EXPECT_EQ(Post(ProfileQuery(), false), "欢迎登录");
}

TEST_F(HttpRequestTest, PlainModeDeliversAtMost32767Characters) {
    service.setFault(Exchange::Profile, test::Body(std::string(40000, 'x')));
    EXPECT_EQ(Post(ProfileQuery(), false), std::string(32767, 'x'));
    // Two-byte GBK characters count as one each.
    std::string chinese;
    for (int i = 0; i < 40000; ++i) chinese += "中";
    service.setFault(Exchange::Profile, test::Body(Utf8ToGbk(chinese)));
    EXPECT_EQ(Post(ProfileQuery(), false), chinese.substr(0, 3 * 32767));
}

TEST_F(HttpRequestTest, OversizedAnswerFailsInBothModes) {
    service.setFault(Exchange::Profile, test::Body(std::string(kMaxAnswerBytes + 1024, 'x')));
    EXPECT_EQ(Post(ProfileQuery(), false), "");
    const std::string bigDocument = "<VortaPacket><Pad>" + std::string(kMaxAnswerBytes, ' ') +
                                    "</Pad><Result>0</Result></VortaPacket>";
    service.setFault(Exchange::Profile, test::Body(bigDocument, "text/xml"));
    EXPECT_EQ(Post(ProfileQuery(), true), "");
    // The next normal exchange works again.
    service.clearFaults();
    EXPECT_FALSE(Post(ProfileQuery()).empty());
}

TEST_F(HttpRequestTest, SilentPeerTimesOut) {
    SetHttpTimeouts({milliseconds(1000), milliseconds(1000), milliseconds(300), milliseconds(300)});
    service.setFault(Exchange::Profile, test::Delay(20000));
    const auto start = Clock::now();
    EXPECT_EQ(Post(ProfileQuery()), "");
    EXPECT_LT(Clock::now() - start, seconds(15)) << "ended by the receive time-out, not the delay";
}

TEST_F(HttpRequestTest, XmlModeSendsTheThreeHeadersAndPlainModeNone) {
    Post(ProfileQuery(), true);
    Post("a=1&b=2", false);
    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 2u);
    auto header = [](const devservice::RecordedRequest& r, const std::string& name) {
        for (const auto& [key, value] : r.headers)
            if (AsciiIEquals(key, name)) return value;
        return std::string("<absent>");
    };
    EXPECT_EQ(header(requests[0], "charset"), "UTF-8");
    EXPECT_EQ(header(requests[0], "Pragma"), "No-Cache");
    EXPECT_EQ(header(requests[0], "Content-Type"), "text/xml");
    EXPECT_EQ(header(requests[1], "charset"), "<absent>");
    EXPECT_EQ(header(requests[1], "Pragma"), "<absent>");
    EXPECT_NE(header(requests[1], "Content-Type"), "text/xml");
    EXPECT_EQ(requests[1].body, "a=1&b=2");
}

TEST_F(HttpRequestTest, OnlyPostInAnyLetterCaseSendsTheBody) {
    std::string response;
    HttpRequest("pOsT", ServiceUrl(), "x=1", response, false);
    HttpRequest("GET", ServiceUrl(), "x=2", response, false);
    HttpRequest("post", ServiceUrl(), "", response, false);
    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].body, "x=1");
    EXPECT_EQ(requests[1].method, "GET");
    EXPECT_EQ(requests[1].body, "");
    EXPECT_EQ(requests[2].method, "POST");
    EXPECT_EQ(requests[2].body, "");
}

TEST_F(HttpRequestTest, ConcurrentCallersAreServedOneAfterTheOther) {
    constexpr int kDelayMs = 300;
    service.setFault(Exchange::Profile, test::Delay(kDelayMs));
    const auto start = Clock::now();
    auto call = [&] {
        std::string response;
        HttpRequest("POST", ServiceUrl(), ProfileQuery(), response, true);
        return std::make_pair(!response.empty(), Clock::now());
    };
    auto a = std::async(std::launch::async, call);
    auto b = std::async(std::launch::async, call);
    const auto [okA, endA] = a.get();
    const auto [okB, endB] = b.get();
    EXPECT_TRUE(okA);
    EXPECT_TRUE(okB);
    // Served in turn, the later one cannot finish before two delays have passed.
    EXPECT_GE(std::max(endA, endB) - start, milliseconds(2 * kDelayMs));
}

TEST_F(HttpRequestTest, ALinesExchangeRunsBesideTheSessionsWithoutWaitingForTheLock) {
    // The first profile query hangs for 3 s while it holds the lock.
    service.setFault(Exchange::Profile, {.delayMs = 3000, .count = 1});
    auto held = std::async(std::launch::async, [&] { return Post(ProfileQuery()); });
    std::this_thread::sleep_for(milliseconds(300));
    const auto start = Clock::now();
    std::string response;
    HttpRequest("POST", ServiceUrl(), ProfileQuery(), response, true, {}, {}, nullptr,
                HttpLocking::Concurrent);
    EXPECT_FALSE(response.empty());
    EXPECT_LT(Clock::now() - start, milliseconds(1500)) << "it did not wait for the held lock";
    EXPECT_EQ(held.wait_for(milliseconds(0)), std::future_status::timeout)
        << "the serialised exchange was still under way";
    EXPECT_FALSE(held.get().empty());
}

TEST_F(HttpRequestTest, StopRequestAbortsAnExchangeInFlightAndAWaitForTheLock) {
    service.setFault(Exchange::Profile, test::Delay(60000));
    std::promise<std::string> first, second;
    std::jthread inFlight([&](std::stop_token stop) {
        std::string response = "stale";
        HttpRequest("POST", ServiceUrl(), ProfileQuery(), response, true, stop);
        first.set_value(response);
    });
    ASSERT_TRUE(AwaitRequests(1));
    std::jthread waiting([&](std::stop_token stop) {
        std::string response = "stale";
        HttpRequest("POST", ServiceUrl(), ProfileQuery(), response, true, stop);
        second.set_value(response);
    });
    auto secondResult = second.get_future();
    EXPECT_EQ(secondResult.wait_for(milliseconds(200)), std::future_status::timeout)
        << "the second caller waits for the lock";

    const auto start = Clock::now();
    waiting.request_stop();
    EXPECT_EQ(secondResult.wait_for(seconds(20)), std::future_status::ready);
    inFlight.request_stop();
    auto firstResult = first.get_future();
    ASSERT_EQ(firstResult.wait_for(seconds(20)), std::future_status::ready);
    EXPECT_LT(Clock::now() - start, seconds(20)) << "nowhere near the 60 s delay";
    EXPECT_EQ(firstResult.get(), "");
    EXPECT_EQ(secondResult.get(), "");
    EXPECT_EQ(service.requests().size(), 1u) << "the stopped waiter never sent anything";
}

TEST_F(HttpRequestTest, RoutedExchangeGoesToItsAddressByItsInterfaceOrNowhere) {
    // The host name is one no resolver knows: only the pinned address can carry the exchange,
    // and the Host header still names it.
    const std::string url = "http://line1.vorta.test:" + std::to_string(service.port()) +
                            devservice::DevService::kExchangePath;
    std::string response;
    HttpRequest("POST", url, ProfileQuery(), response, true, {}, HttpRoute{"127.0.0.1", "lo"});
    EXPECT_NE(response.find("<Result>0</Result>"), std::string::npos) << response;
    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& headers = requests[0].headers;
    const auto host = headers.find("Host");
    ASSERT_NE(host, headers.end());
    EXPECT_EQ(host->second, "line1.vorta.test:" + std::to_string(service.port()));

    // An interface that is not there fails the exchange rather than letting it out elsewhere.
    HttpRequest("POST", url, ProfileQuery(), response, true, {},
                HttpRoute{"127.0.0.1", "vorta-none0"});
    EXPECT_EQ(response, "");
    EXPECT_EQ(service.requests().size(), 1u);

    // A redirect is handed to the caller, never followed.
    service.setPortal(true);
    service.setPortalRedirect(true);
    HttpDetails details;
    HttpRequest("GET", BaseUrl() + "/logo1.gif", "", response, false, {}, {}, &details);
    EXPECT_EQ(response, "");
    EXPECT_EQ(details.redirect, BaseUrl() + "/portal/page");
    EXPECT_NE(details.failure.find("redirected"), std::string::npos) << details.failure;
}

TEST_F(HttpRequestTest, EveryEmptyAnswerTellsTheDebugLogWhy) {
    std::vector<std::string> told;
    SetDebugSink([&told](const std::string& text) { told.push_back(text); });
    const auto why = [&](auto&& exchange) {
        told.clear();
        exchange();
        return told.empty() ? std::string("(nothing)") : told.back();
    };
    const std::string refused =
        "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/vorta/vorta.dll/";
    EXPECT_NE(why([&] {
                  std::string r;
                  HttpRequest("POST", refused, "x", r, true);
              }).find("POST " + refused + ": Couldn't connect"),
              std::string::npos);
    service.setFault(Exchange::Profile, test::Status(500));
    EXPECT_NE(why([&] { Post(ProfileQuery()); }).find(": status 500"), std::string::npos);
    service.setFault(Exchange::Profile, test::Body("Service Unavailable"));
    EXPECT_NE(why([&] { Post(ProfileQuery()); }).find("not a well-formed XML document"),
              std::string::npos);
    service.setFault(Exchange::Profile, test::Body(std::string(kMaxAnswerBytes + 1024, 'x')));
    EXPECT_NE(why([&] { Post(ProfileQuery(), false); }).find("larger than"), std::string::npos);
    SetHttpTimeouts({milliseconds(1000), milliseconds(1000), milliseconds(300), milliseconds(300)});
    service.setFault(Exchange::Profile, test::Delay(20000));
    EXPECT_NE(why([&] { Post(ProfileQuery()); }).find("waiting for the answer timed out"),
              std::string::npos);
    service.clearFaults();
    EXPECT_EQ(why([&] { Post(ProfileQuery()); }), "(nothing)") << "a good answer tells nothing";
    SetDebugSink({});
}

}  // namespace
}  // namespace vorta
