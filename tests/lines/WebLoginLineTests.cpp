// The web-login line against the development service playing a captive portal on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "FakeNetworkTables.h"
#include "TempDir.h"
#include "integration/DevServiceFixture.h"
#include "lines/IpRoutes.h"
#include "lines/LCnc.h"
#include "lines/LinesMng.h"
#include "protocol/HttpRequest.h"

namespace vorta {
namespace {

using devservice::DevService;
using test::FakeNetworkTables;
using test::Ip;

constexpr const char* kLoginPath = "/portal/login";

// A portal on loopback that takes connections and never answers them.
class SilentPortal {
public:
    SilentPortal() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(fd_, 16) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            ADD_FAILURE() << "no listener on loopback";
        port_ = ntohs(address.sin_port);
    }
    ~SilentPortal() {
        for (const int fd : held_) ::close(fd);
        ::close(fd_);
    }
    std::string ProbeUrl() const {
        return "http://127.0.0.1:" + std::to_string(port_) + "/logo1.gif";
    }
    // Takes the next connection (and keeps it unanswered); false when none came in time.
    bool Connected(std::chrono::milliseconds limit) {
        pollfd waiting{fd_, POLLIN, 0};
        if (::poll(&waiting, 1, static_cast<int>(limit.count())) != 1) return false;
        const int accepted = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (accepted < 0) return false;
        held_.push_back(accepted);
        return true;
    }
    SilentPortal(const SilentPortal&) = delete;
    SilentPortal& operator=(const SilentPortal&) = delete;

private:
    int fd_;
    int port_ = 0;
    std::vector<int> held_;  // the connections taken, never answered
};

class WebLoginLineTest : public test::DevServiceTest {
protected:
    WebLoginLineTest() {
        // "lo" carries the default route (the portal is on loopback, and the line's exchanges
        // are bound to its interface); eth1 is up but has none.
        tables.AddLink("lo", 2);
        tables.AddLink("eth1", 3);
        tables.addresses = {{Ip("203.0.113.2"), 2, Ip("255.255.255.0")},
                            {Ip("198.51.100.2"), 3, Ip("255.255.255.0")}};
        tables.routes = {{Ip("203.0.113.0"), Ip("255.255.255.0"), 0, 2},
                         {0, 0, Ip("203.0.113.1"), 2},
                         {Ip("198.51.100.0"), Ip("255.255.255.0"), 0, 3}};
    }

    void TearDown() override {
        line.reset();  // before the service it may be talking to
        test::DevServiceTest::TearDown();
    }

    // A line set up the way the client does it: created, initialised, then given its settings.
    TCNCLine& MakeLine(const std::string& entry, const std::string& user,
                       const std::string& password, const std::string& probePath = "/logo1.gif") {
        line.reset();  // a line never outlives its services
        // An hour between keep passes keeps the keep thread from authenticating on its own.
        services =
            std::make_unique<LineServices>(LineServices{.routes = routes,
                                                        .ras = nullptr,
                                                        .probeUrl = BaseUrl() + probePath,
                                                        .keepPeriod = std::chrono::hours(1)});
        line = std::make_unique<TCNCLine>(*services);
        line->Initialize();
        line->SetEntryName(entry);
        line->SetUserName(user);
        line->SetPassword(password);
        return *line;
    }

    std::vector<devservice::RecordedRequest> Posts() const {
        std::vector<devservice::RecordedRequest> posts;
        for (auto& r : service.requests())
            if (r.method == "POST") posts.push_back(r);
        return posts;
    }

    FakeNetworkTables tables;
    TIpRoutes routes{tables, {.loopbackAllowed = true}};
    std::unique_ptr<LineServices> services;
    std::unique_ptr<TCNCLine> line;
};

TEST_F(WebLoginLineTest, DescribesItselfAndFollowsItsDefaultRoute) {
    TCNCLine& wan = MakeLine("lo", "demo", "demo123");
    EXPECT_EQ(wan.Describe(), "ClassName: TCNCLine");
    EXPECT_TRUE(wan.GetActive());
    wan.SetEntryName("eth1");
    EXPECT_FALSE(wan.GetActive());
    wan.SetIpAddress("203.0.113.2");
    EXPECT_EQ(wan.GetIpAddress(), "203.0.113.2");
    EXPECT_EQ(wan.Disconnect(), 0);
    EXPECT_TRUE(service.requests().empty()) << "initialising with no entry asks nothing";
}

TEST_F(WebLoginLineTest, GoodAccountLogsOnThroughThePortalForm) {
    service.setPortal(true);
    TCNCLine& wan = MakeLine("lo", "demo", "demo123");
    ASSERT_TRUE(service.requests().empty());

    EXPECT_TRUE(wan.Authenticate());
    EXPECT_EQ(service.portalLogons(), std::vector<std::string>{"127.0.0.1"});
    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].path, "/logo1.gif");
    EXPECT_EQ(requests[1].method, "POST");
    EXPECT_EQ(requests[1].path, kLoginPath);
    // The page came in GBK, so its button's value goes back in GBK.
    EXPECT_EQ(requests[1].body, "uid=demo&upwd=demo123&uact_status=1&ctype=web&go=%B5%C7%C2%BC");

    std::string probe;
    HttpRequest("GET", BaseUrl() + "/logo1.gif", "", probe, false);
    EXPECT_EQ(probe, "GIF89ap");

    EXPECT_TRUE(wan.Authenticate());
    EXPECT_EQ(service.requests().size(), 4u) << "only the probe, no second form post";
    EXPECT_EQ(Posts().size(), 1u);
    EXPECT_EQ(service.portalLogons().size(), 1u);
}

TEST_F(WebLoginLineTest, ConnectLogsOn) {
    service.setPortal(true);
    TCNCLine& wan = MakeLine("lo", "alice", "secret");
    EXPECT_EQ(wan.Connect(), 0);
    EXPECT_EQ(service.portalLogons(), std::vector<std::string>{"127.0.0.1"});
}

TEST_F(WebLoginLineTest, RefusedAccountFails) {
    service.setPortal(true);
    TCNCLine& wan = MakeLine("lo", "demo", "wrong");
    EXPECT_FALSE(wan.Authenticate());
    EXPECT_TRUE(service.portalLogons().empty());
    const auto posts = Posts();
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].path, kLoginPath);
    EXPECT_EQ(wan.Connect(), 0) << "Connect reports nothing of the refusal";
}

TEST_F(WebLoginLineTest, UnknownUserFails) {
    service.setPortal(true);
    EXPECT_FALSE(MakeLine("lo", "mallory", "demo123").Authenticate());
    EXPECT_TRUE(service.portalLogons().empty());
}

TEST_F(WebLoginLineTest, WithoutAWayThroughTheLineNothingIsSent) {
    service.setPortal(true);
    EXPECT_TRUE(MakeLine("eth1", "demo", "wrong").Authenticate());
    EXPECT_TRUE(MakeLine("no-such-link", "demo", "wrong").Authenticate());
    // No host route through the line (no CAP_NET_ADMIN): the probe does not go by another line.
    tables.refusal = "Operation not permitted";
    EXPECT_TRUE(MakeLine("lo", "demo", "wrong").Authenticate());
    EXPECT_TRUE(service.requests().empty());
}

TEST_F(WebLoginLineTest, RedirectingPortalIsFollowedOnceAndItsRelativeActionPosted) {
    service.setPortal(true);
    service.setPortalRedirect(true);
    EXPECT_TRUE(MakeLine("lo", "demo", "demo123").Authenticate());
    EXPECT_EQ(service.portalLogons(), std::vector<std::string>{"127.0.0.1"});
    std::vector<std::string> seen;
    for (const auto& r : service.requests()) seen.push_back(r.method + " " + r.path);
    EXPECT_EQ(seen, (std::vector<std::string>{"GET /logo1.gif", "GET /portal/page",
                                              "POST /portal/login"}))
        << "the action \"login\" is resolved against the page, not the probe";
}

TEST_F(WebLoginLineTest, AccountWithFormCharactersArrivesIntact) {
    const nlohmann::json users = {
        {"users", {{{"name", "a&b+c%d e"}, {"password", "p=1 +%&"}, {"userId", "7"}}}}};
    devservice::DevService own(devservice::Fixture::fromJson(users));
    ASSERT_TRUE(own.start("127.0.0.1", 0));
    own.setPortal(true);
    line.reset();
    services = std::make_unique<LineServices>(
        LineServices{.routes = routes,
                     .ras = nullptr,
                     .probeUrl = "http://127.0.0.1:" + std::to_string(own.port()) + "/logo1.gif",
                     .keepPeriod = std::chrono::hours(1)});
    line = std::make_unique<TCNCLine>(*services);
    line->Initialize();
    line->SetEntryName("lo");
    line->SetUserName("a&b+c%d e");
    line->SetPassword("p=1 +%&");
    EXPECT_TRUE(line->Authenticate());
    line.reset();
    EXPECT_EQ(own.portalLogons(), std::vector<std::string>{"127.0.0.1"});
    own.stop();
}

TEST_F(WebLoginLineTest, WithoutAPortalOnlyTheProbeIsFetched) {
    TCNCLine& wan = MakeLine("lo", "demo", "wrong");
    EXPECT_TRUE(wan.Authenticate());
    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, "/logo1.gif");
    EXPECT_TRUE(Posts().empty());
}

TEST_F(WebLoginLineTest, ProbeWithoutAnAnswerIsNoPortal) {
    TCNCLine& wan = MakeLine("lo", "demo", "wrong", "/no/such/image.gif");
    EXPECT_TRUE(wan.Authenticate());
    ASSERT_EQ(service.requests().size(), 1u) << "the 404 reads as no answer";
    EXPECT_TRUE(Posts().empty());
}

TEST_F(WebLoginLineTest, TheManagerNeverWaitsForALogonAndItsStopEndsOne) {
    using namespace std::chrono_literals;
    using Clock = std::chrono::steady_clock;
    SilentPortal portal;
    test::TempDir dir;
    LineServices hanging{.routes = routes,
                         .ras = nullptr,
                         .probeUrl = portal.ProbeUrl(),
                         .keepPeriod = std::chrono::hours(1)};
    const TLinesMng::Options options{dir.path() / kLinesFileName, hanging};
    TLineInfo info;
    info.LineKind = TCNCLine::kLineKind;
    info.MasterGroup = true;
    info.EntryName = "lo";
    info.UserName = "demo";
    info.Password = "demo123";
    info.LineID = NewLineId();

    // Added, as the window or `vorta lines add` adds it; then loaded, as at the client's start.
    for (const bool adding : {true, false}) {
        SCOPED_TRACE(adding ? "add" : "load");
        auto start = Clock::now();
        auto mng = std::make_unique<TLinesMng>(options);
        if (adding) {
            ASSERT_TRUE(mng->AddLine(info));
        }
        EXPECT_LT(Clock::now() - start, 1s) << "the caller waited for the portal";
        ASSERT_TRUE(portal.Connected(5s)) << "the line's keep thread probes at once";
        start = Clock::now();
        EXPECT_EQ(mng->Count(), 1u);
        EXPECT_EQ(mng->Records().at(0).EntryName, "lo");
        EXPECT_LT(Clock::now() - start, 1s) << "the manager's lock was held across the probe";
        mng->RequestStop();
        mng.reset();
        EXPECT_LT(Clock::now() - start, 2s) << "the stop did not end the probe in flight";
    }
}

}  // namespace
}  // namespace vorta
