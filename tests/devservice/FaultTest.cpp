// Injected faults: delays, HTTP status, raw bodies, Result overrides and their counts.
#include <gmock/gmock.h>

#include <thread>

#include "TestSupport.h"

namespace devservice::test {
namespace {

using ::testing::HasSubstr;

using FaultTest = ServiceTest;

const std::string kProfile = request(Exchange::Profile, "demo", "demo123");
const std::string kServiceList = request(Exchange::ServiceList, "demo", "demo123");

TEST_F(FaultTest, DelayedAnswerIsStillTheNormalAnswer) {
    service.setFault(Exchange::Profile, Fault{.delayMs = 20});
    const AnswerDoc answer = exchange(kProfile);
    EXPECT_EQ(answer.text("Result"), "0");
    EXPECT_NE(AnswerDoc::child(answer.root(), "UserProfile"), nullptr);
}

TEST_F(FaultTest, StopCutsShortAPendingDelay) {
    // An hour-long delay: if stop() waited it out, the test would hit the CTest timeout.
    service.setFault(Exchange::Profile, Fault{.delayMs = 3'600'000});
    int status = -1;
    std::jthread caller([&] {
        if (auto res = post(kProfile)) status = res->status;
    });
    ASSERT_TRUE(eventually([&] { return service.requests().size() == 1; }));
    service.stop();
    caller.join();
    EXPECT_FALSE(service.running());
    EXPECT_EQ(status, 503);
}

TEST_F(FaultTest, StatusIsSentWithTheValidDocument) {
    service.setFault(Exchange::Profile, Fault{.status = 500});
    auto res = post(kProfile);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 500);
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/xml; charset=GBK");
    const AnswerDoc answer(res->body);
    ASSERT_TRUE(answer.ok()) << res->body;
    EXPECT_EQ(answer.text("Result"), "0");
    EXPECT_NE(AnswerDoc::child(answer.root(), "UserProfile"), nullptr);
}

TEST_F(FaultTest, RawBodyReplacesTheDocument) {
    service.setFault(Exchange::ServiceList, Fault{.body = "this is not XML", .count = 1});
    auto res = post(kServiceList);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->body, "this is not XML");
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/plain");

    const std::string truncated = R"(<?xml version="1.0" encoding="GBK"?><VortaPacket><Result>0)";
    service.setFault(Exchange::ServiceList,
                     Fault{.body = truncated, .contentType = "text/xml; charset=GBK"});
    res = post(kServiceList);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->body, truncated);
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/xml; charset=GBK");
}

TEST_F(FaultTest, HugeRawBodyIsSentWhole) {
    const std::string huge(3 << 20, 'x');
    service.setFault(Exchange::Profile, Fault{.body = huge});
    auto res = post(kProfile);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->body.size(), huge.size());
    EXPECT_EQ(res->body, huge);
}

TEST_F(FaultTest, ResultOverrideKeepsTheRestOfTheAnswer) {
    service.setFault(Exchange::Profile, Fault{.result = "abc"});
    const AnswerDoc answer = exchange(kProfile);
    EXPECT_EQ(answer.text("Result"), "abc");
    EXPECT_NE(AnswerDoc::child(answer.root(), "UserProfile"), nullptr);

    service.setFault(Exchange::ServiceList, Fault{.result = "101"});
    EXPECT_EQ(exchange(kServiceList).text("Result"), "101");
}

TEST_F(FaultTest, FaultsCombine) {
    service.setFault(Exchange::ServiceList, Fault{.delayMs = 1, .status = 404, .result = "101"});
    auto res = post(kServiceList);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 404);
    EXPECT_EQ(AnswerDoc(res->body).text("Result"), "101");
}

TEST_F(FaultTest, CountLimitsHowManyExchangesAreAffected) {
    service.setFault(Exchange::ServiceList, Fault{.status = 500, .count = 2});
    std::vector<int> statuses;
    for (int i = 0; i < 3; ++i) {
        auto res = post(kServiceList);
        ASSERT_TRUE(res);
        statuses.push_back(res->status);
        // Other kinds are never affected.
        auto other = post(kProfile);
        ASSERT_TRUE(other);
        EXPECT_EQ(other->status, 200);
    }
    EXPECT_EQ(statuses, (std::vector<int>{500, 500, 200}));
}

TEST_F(FaultTest, RejectedRequestDoesNotUseUpAFault) {
    service.setFault(Exchange::Profile, Fault{.status = 500, .count = 1});
    auto bad = post("<VortaPacket><MsgType>QueryUserProfileReq</MsgType>");
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->status, 400);
    auto res = post(kProfile);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 500);
    res = post(kProfile);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
}

TEST_F(FaultTest, ClearFaultsAndResetRestoreNormalAnswers) {
    service.setFault(Exchange::Profile, Fault{.status = 500});
    service.clearFaults();
    EXPECT_EQ(exchange(kProfile).text("Result"), "0");

    service.setFault(Exchange::Profile, Fault{.result = "abc"});
    service.reset();
    EXPECT_TRUE(service.requests().empty());
    EXPECT_EQ(exchange(kProfile).text("Result"), "0");
    EXPECT_EQ(service.requests().size(), 1u);
}

TEST(FaultValidation, RejectsSettingsThatCannotBeServed) {
    DevService service(Fixture::builtIn());
    EXPECT_THROW(service.setFault(Exchange::Profile, Fault{.delayMs = -1}), std::invalid_argument);
    EXPECT_THROW(service.setFault(Exchange::Profile, Fault{.status = 99}), std::invalid_argument);
    EXPECT_THROW(service.setFault(Exchange::Profile, Fault{.status = 600}), std::invalid_argument);
    EXPECT_THROW(service.setFault(Exchange::Profile, Fault{.count = -2}), std::invalid_argument);
    EXPECT_NO_THROW(service.setFault(Exchange::Profile, Fault{.status = 503, .count = 1}));
}

}  // namespace
}  // namespace devservice::test
