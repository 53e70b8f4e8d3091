// The IP update loop against the development service, with lines over fake network tables.

#include <gtest/gtest.h>

#include <thread>

#include "ClientHarness.h"
#include "FakeNetworkTables.h"
#include "TempDir.h"
#include "WaitFor.h"
#include "core/UpdateIpTrd.h"
#include "platform/LiteralResolver.h"

namespace vorta {
namespace {

using namespace std::chrono_literals;
using test::Ip;
using test::WaitFor;

class UpdateIpTest : public ::testing::Test {
protected:
    UpdateIpTest() {
        // The reporting line is "lo" here: its exchanges are bound to the line's interface, and
        // the service listens on loopback.
        tables.AddLink("eth0", 2);
        tables.AddLink("lo", 3);
        tables.AddLink("eth2", 4);
        settings.Update([&](Settings& s) {
            s.UserName = "demo";
            s.UserPwd = "demo123";
            // The line number goes into the query here, so that every line reaches the one
            // loopback service; real templates put it into the host name.
            s.LineUrlTemplate = "http://127.0.0.1:" + std::to_string(live.service.port()) +
                                "/vorta/vorta.dll/?line=%s";
        });
    }
    void AddLan(const std::string& entry) {
        TLineInfo info;
        info.LineKind = 3;
        info.EntryName = entry;
        info.MasterGroup = true;
        info.LineID = NewLineId();
        ASSERT_TRUE(manager.AddLineInfo(info));
    }
    void Up(std::uint32_t index) { tables.AddRoute({0, 0, Ip("198.51.100.1"), index}); }
    std::unique_ptr<TUpdateIpTrd> Start(std::chrono::milliseconds rest) {
        return std::make_unique<TUpdateIpTrd>(TUpdateIpTrd::Context{
            settings, manager, dns, routes, rest, [this](const std::string& t) {
                std::lock_guard guard(logLock);
                logged.push_back(t);
            }});
    }
    std::vector<std::string> Logged() {
        std::lock_guard guard(logLock);
        return logged;
    }
    std::vector<devservice::RecordedRequest> Reports() {
        std::vector<devservice::RecordedRequest> out;
        for (const auto& r : live.service.requests())
            if (r.exchange == devservice::Exchange::LineReport) out.push_back(r);
        return out;
    }

    test::LiveService live;
    test::TempDir dir;
    test::FakeNetworkTables tables;
    TIpRoutes routes{tables, {.loopbackAllowed = true}};
    LineServices services{routes, nullptr, "", std::chrono::hours(1)};
    TLinesMng manager{
        TLinesMng::Options{dir.path() / kLinesFileName, services, [] { return false; }, 1h}};
    SharedSettings settings;
    int lookups = 0;
    int failLookups = 0;
    std::vector<std::string> answers;  // what DNS answers, in turn; empty: literals only
    TDnsCache dns{[this](const std::string& host) {
        ++lookups;
        if (failLookups-- > 0) throw std::runtime_error("Host Lookup - Could Not Find Host Entry");
        if (answers.empty()) return platform::ResolveIp4Literal(host);
        std::vector<std::string> answer{answers.front()};
        if (answers.size() > 1) answers.erase(answers.begin());
        return answer;
    }};
    std::mutex logLock;
    std::vector<std::string> logged;
};

TEST_F(UpdateIpTest, OnlyTheActiveLineReportsUnderItsOwnNumber) {
    AddLan("eth0");
    AddLan("lo");
    AddLan("eth2");
    Up(3);  // lo
    auto loop = Start(1h);
    ASSERT_TRUE(WaitFor([&] { return manager.Lines()[1]->IpAddressField() == "127.0.0.1"; }));
    std::this_thread::sleep_for(50ms);
    const auto reports = Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].target.find("line=2"), std::string::npos) << reports[0].target;
    const auto recorded = live.service.lineReports();
    ASSERT_EQ(recorded.size(), 1u);
    { EXPECT_EQ(recorded[0].lineId, manager.Records()[1].LineID); }
    EXPECT_EQ(recorded[0].updateIp, "0");
    EXPECT_EQ(std::get<0>(tables.Added().at(0)), Ip("127.0.0.1"))
        << "host route to the service's address";

    // The rest after the pass ends at once on a stop.
    const auto start = std::chrono::steady_clock::now();
    loop.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

TEST_F(UpdateIpTest, UnresolvableNameIsTriedAgainAndThenKept) {
    AddLan("lo");
    Up(3);
    failLookups = 1;
    auto loop = Start(20ms);
    ASSERT_TRUE(WaitFor([&] { return Reports().size() >= 3; }));
    loop.reset();
    EXPECT_EQ(lookups, 2) << "failed once, then resolved and never looked up again";
}

TEST_F(UpdateIpTest, EmptyAnswerIsPostedOnceMoreInTheSameCycle) {
    AddLan("lo");
    Up(3);
    live.service.setFault(devservice::Exchange::LineReport,
                          test::FaultWith(0, 500, std::nullopt, 1));
    auto loop = Start(1h);
    ASSERT_TRUE(WaitFor([&] { return manager.Lines()[0]->IpAddressField() == "127.0.0.1"; }));
    loop.reset();
    EXPECT_EQ(Reports().size(), 2u);
}

TEST_F(UpdateIpTest, WebLoginLineLogsOnThroughThePortalAndPostsAgain) {
    services.probeUrl = "http://127.0.0.1:" + std::to_string(live.service.port()) + "/logo1.gif";
    TLineInfo info;
    info.LineKind = 1;  // web login
    info.EntryName = "lo";
    info.UserName = "demo";
    info.Password = "demo123";
    info.MasterGroup = true;
    info.LineID = NewLineId();
    ASSERT_TRUE(manager.AddLineInfo(info));  // no default route yet: no logon tried
    Up(3);
    live.service.setPortal(true);  // every request now gets the portal's page until logged on
    auto loop = Start(1h);
    ASSERT_TRUE(WaitFor([&] { return manager.Lines()[0]->IpAddressField() == "127.0.0.1"; }));
    loop.reset();
    EXPECT_EQ(live.service.portalLogons().size(), 1u);
    EXPECT_EQ(live.service.lineReports().size(), 1u)
        << "the second post of the same cycle got through";
}

TEST_F(UpdateIpTest, UpdateIpIsOneOnlyForTheBackupHostInTheLan) {
    AddLan("lo");
    Up(3);
    for (int mask = 0; mask < 8; ++mask) {
        const bool inNet = mask & 1, master = mask & 2, lanBack = mask & 4;
        settings.Update([&](Settings& s) {
            s.IsInNet = inNet;
            s.IsMasterHost = master;
            s.IsInLANBack = lanBack;
        });
        live.service.reset();
        auto loop = Start(1h);
        ASSERT_TRUE(WaitFor([&] { return !live.service.lineReports().empty(); }));
        loop.reset();
        EXPECT_EQ(live.service.lineReports()[0].updateIp, inNet && !master && lanBack ? "1" : "0")
            << mask;
    }
}

TEST_F(UpdateIpTest, RefusedReportLeavesTheAddressAlone) {
    AddLan("lo");
    Up(3);
    manager.Lines()[0]->SetIpAddress("203.0.113.7");
    live.service.setFault(devservice::Exchange::LineReport, test::FaultWith(0, 0, "102"));
    auto loop = Start(1h);
    ASSERT_TRUE(WaitFor([&] { return !Reports().empty(); }));
    std::this_thread::sleep_for(50ms);
    loop.reset();
    EXPECT_EQ(manager.Lines()[0]->IpAddressField(), "203.0.113.7");
}

TEST_F(UpdateIpTest, AnswerWithoutResultInheritsNothingFromThePreviousOne) {
    AddLan("lo");
    Up(3);
    auto loop = Start(20ms);
    ASSERT_TRUE(WaitFor([&] { return manager.Lines()[0]->IpAddressField() == "127.0.0.1"; }));
    devservice::Fault bare;
    bare.body =
        "<?xml version=\"1.0\"?><VortaPacket><MsgType>ActiveTestExResp</MsgType>"
        "</VortaPacket>";
    bare.contentType = "text/xml";
    live.service.setFault(devservice::Exchange::LineReport, bare);
    manager.Lines()[0]->SetIpAddress("203.0.113.7");
    const std::size_t before = Reports().size();
    ASSERT_TRUE(WaitFor([&] { return Reports().size() >= before + 2; }));
    loop.reset();
    EXPECT_EQ(manager.Lines()[0]->IpAddressField(), "203.0.113.7")
        << "the earlier answer's Result and UserIP were taken for this one's";
}

TEST_F(UpdateIpTest, ReportGoesToTheResolvedAddressWhateverDnsSaysLater) {
    // A host name the system cannot resolve: only the pinned address can carry the report.
    settings.Update([&](Settings& s) {
        s.LineUrlTemplate =
            "http://line%s.vorta.test:" + std::to_string(live.service.port()) + "/vorta/vorta.dll/";
    });
    answers = {"127.0.0.1", "127.0.0.2"};
    AddLan("lo");
    Up(3);
    auto loop = Start(20ms);
    ASSERT_TRUE(WaitFor([&] { return live.service.lineReports().size() >= 2; }));
    loop.reset();
    for (const auto& report : live.service.lineReports())
        EXPECT_EQ(report.host, "line1.vorta.test:" + std::to_string(live.service.port()));
    EXPECT_EQ(lookups, 1);
    EXPECT_EQ(std::get<0>(tables.Added().at(0)), Ip("127.0.0.1"));
}

TEST_F(UpdateIpTest, LineWithoutItsOwnRouteIsNotReportedAndSaysWhyOnce) {
    AddLan("lo");
    Up(3);
    tables.refusal = "Operation not permitted";  // as for a client without CAP_NET_ADMIN
    auto loop = Start(20ms);
    ASSERT_TRUE(WaitFor([&] { return manager.Lines()[0]->Reason() != ""; }));
    std::this_thread::sleep_for(200ms);  // several passes
    EXPECT_TRUE(Reports().empty()) << "a report went out by the default way";
    EXPECT_EQ(manager.Lines()[0]->Reason(), "route refused: Operation not permitted");
    EXPECT_EQ(Logged(), std::vector<std::string>{
                            "line 1 (lo) not reported: route refused: Operation not permitted"});

    // Another cause is logged again.
    tables.SetLinkUp("lo", false);
    ASSERT_TRUE(WaitFor([&] { return Logged().size() == 2; }));
    EXPECT_EQ(Logged()[1], "line 1 (lo) not reported: lo is down");
    loop.reset();
    EXPECT_TRUE(Reports().empty());
}

TEST_F(UpdateIpTest, AddressThatIsNoServiceIsNeverReportedTo) {
    answers = {"169.254.0.9"};
    AddLan("lo");
    Up(3);
    auto loop = Start(20ms);
    ASSERT_TRUE(WaitFor([&] { return !Logged().empty(); }));
    loop.reset();
    EXPECT_EQ(Logged(), std::vector<std::string>{"line 1 (lo) not reported: service address "
                                                 "169.254.0.9 is a link-local address"});
    EXPECT_EQ(manager.Lines()[0]->Reason(), "service address 169.254.0.9 is a link-local address");
    EXPECT_TRUE(tables.Added().empty());
}

TEST_F(UpdateIpTest, RoutesGoWhenTheirLineGoesDown) {
    AddLan("lo");
    Up(3);
    auto loop = Start(20ms);
    ASSERT_TRUE(WaitFor([&] { return !Reports().empty(); }));
    ASSERT_EQ(tables.Added().size(), 1u);
    // The default route goes away: the line is down, its host route is removed.
    tables.RemoveDefaultRoutes();
    ASSERT_TRUE(WaitFor([&] { return !tables.Deleted().empty(); }));
    loop.reset();
    EXPECT_EQ(tables.Deleted().at(0), tables.Added().at(0));
}

}  // namespace
}  // namespace vorta
