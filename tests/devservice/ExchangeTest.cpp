// Answers and records of the five exchange kinds against the built-in fixture.
#include <gmock/gmock.h>

#include "TestSupport.h"

namespace devservice::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;

const User& fixtureUser(const std::string& name) {
    static const Fixture fixture = Fixture::builtIn();
    const User* user = fixture.findUser(name);
    if (user == nullptr) throw std::runtime_error("fixture lacks user " + name);
    return *user;
}

using ExchangeTest = ServiceTest;

TEST_F(ExchangeTest, ProfileOfValidUserListsAllFieldsInOrder) {
    const User& demo = fixtureUser("demo");
    const AnswerDoc answer = exchange(request(Exchange::Profile, "demo", "demo123"));
    EXPECT_THAT(AnswerDoc::childNames(answer.root()),
                ElementsAre("MsgType", "Version", "Result", "UserProfile"));
    EXPECT_EQ(answer.text("MsgType"), "QueryUserProfileResp");
    EXPECT_EQ(answer.text("Version"), "1.0");
    EXPECT_EQ(answer.text("Result"), "0");

    const xmlNode* profile = AnswerDoc::child(answer.root(), "UserProfile");
    EXPECT_THAT(
        AnswerDoc::childNames(profile),
        ElementsAre("UserName", "UserPwd", "Question", "Answer", "Email", "RealName", "Address",
                    "PostCode", "Phone1", "Phone2", "PayType", "ServiceEndDate", "UserID"));
    EXPECT_EQ(AnswerDoc::text(AnswerDoc::child(profile, "UserName")), "demo");
    EXPECT_EQ(AnswerDoc::text(AnswerDoc::child(profile, "UserPwd")), "demo123");
    EXPECT_EQ(AnswerDoc::text(AnswerDoc::child(profile, "UserID")), demo.userId);
    EXPECT_EQ(AnswerDoc::text(AnswerDoc::child(profile, "RealName")), "张三");
    EXPECT_EQ(AnswerDoc::text(AnswerDoc::child(profile, "Address")), demo.profile.address);
    EXPECT_EQ(AnswerDoc::text(AnswerDoc::child(profile, "Email")), demo.profile.email);
}

TEST_F(ExchangeTest, ProfileOfUnknownUserIs100WithoutProfile) {
    const AnswerDoc answer = exchange(request(Exchange::Profile, "nobody", "demo123"));
    EXPECT_EQ(answer.text("Result"), "100");
    EXPECT_EQ(AnswerDoc::child(answer.root(), "UserProfile"), nullptr);
}

TEST_F(ExchangeTest, ProfileWithWrongPasswordIs102WithoutProfile) {
    const AnswerDoc answer = exchange(request(Exchange::Profile, "demo", "demo124"));
    EXPECT_EQ(answer.text("Result"), "102");
    EXPECT_EQ(AnswerDoc::child(answer.root(), "UserProfile"), nullptr);
}

TEST_F(ExchangeTest, RequestTextIsTrimmedButAPasswordIsTakenAsSent) {
    auto body = [&](const char* password) {
        return packet(el("MsgType", " \tQueryUserProfileReq\r\n") + el("UserName", "\n  demo ") +
                      el("UserPwd", password));
    };
    EXPECT_EQ(exchange(body("demo123")).text("Result"), "0");
    EXPECT_EQ(exchange(body("\tdemo123\n")).text("Result"), "102") << "blanks are part of it";
}

class CredentialsTest : public ServiceTest, public ::testing::WithParamInterface<Exchange> {};

TEST_P(CredentialsTest, EveryKindChecksUserAndPassword) {
    const Exchange kind = GetParam();
    const std::string answerType = std::string(answerMsgType(kind));
    struct Case {
        const char *user, *password, *code;
    };
    for (const auto& [user, password, code] :
         {Case{"demo", "demo123", "0"}, Case{"alice", "secret", "0"},
          Case{"ghost", "demo123", "100"}, Case{"demo", "secret", "102"},
          Case{"alice", "", "102"}}) {
        const AnswerDoc answer = exchange(request(kind, user, password));
        EXPECT_EQ(answer.text("MsgType"), answerType);
        EXPECT_EQ(answer.text("Result"), code) << user << "/" << password;
    }
}

INSTANTIATE_TEST_SUITE_P(AllKinds, CredentialsTest,
                         ::testing::Values(Exchange::Profile, Exchange::ServiceList,
                                           Exchange::LineReport, Exchange::SystemUpload,
                                           Exchange::NetworkUpload),
                         [](const auto& info) { return std::string(exchangeName(info.param)); });

TEST_F(ExchangeTest, ServiceListIsDeclaredGbkAndChineseTextRoundTrips) {
    auto res = post(request(Exchange::ServiceList, "demo", "demo123"));
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200);
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/xml; charset=GBK");
    EXPECT_EQ(res->body.rfind(R"(<?xml version="1.0" encoding="GBK"?>)", 0), 0u) << res->body;
    // "正常" must travel as GBK bytes, not as UTF-8 bytes.
    EXPECT_THAT(res->body, HasSubstr("\xD5\xFD\xB3\xA3"));
    EXPECT_THAT(res->body, Not(HasSubstr("正常")));

    const AnswerDoc answer(res->body);
    ASSERT_TRUE(answer.ok());
    EXPECT_EQ(answer.encoding(), "GBK");
    EXPECT_THAT(AnswerDoc::childNames(answer.root()),
                ElementsAre("MsgType", "Version", "Result", "UserID", "DomainInfo", "DomainInfo"));
    EXPECT_EQ(answer.text("MsgType"), "GetServiceListResp");
    EXPECT_EQ(answer.text("Result"), "0");
    EXPECT_EQ(answer.text("UserID"), fixtureUser("demo").userId);

    const auto domains = AnswerDoc::children(answer.root(), "DomainInfo");
    const auto& expected = fixtureUser("demo").domains;
    ASSERT_EQ(domains.size(), expected.size());
    std::vector<std::string> statuses;
    for (std::size_t i = 0; i < domains.size(); ++i) {
        std::vector<std::string> names;
        for (const auto& f : kDomainFields) {
            names.emplace_back(f.element);
            EXPECT_EQ(AnswerDoc::text(AnswerDoc::child(domains[i], names.back())),
                      expected[i].*f.member)
                << names.back();
        }
        names.insert(names.end(), expected[i].resources.size(), "ResourceInfo");
        EXPECT_THAT(AnswerDoc::childNames(domains[i]), ElementsAreArray(names));
        statuses.push_back(AnswerDoc::text(AnswerDoc::child(domains[i], "Status")));

        const auto resources = AnswerDoc::children(domains[i], "ResourceInfo");
        ASSERT_EQ(resources.size(), expected[i].resources.size());
        for (std::size_t r = 0; r < resources.size(); ++r) {
            EXPECT_THAT(AnswerDoc::childNames(resources[r]),
                        ElementsAre("ResourceType", "KeyName", "KeyValue", "TransURL"));
            EXPECT_EQ(AnswerDoc::text(AnswerDoc::child(resources[r], "KeyName")),
                      expected[i].resources[r].keyName);
        }
    }
    EXPECT_THAT(statuses, ::testing::Contains("正常"));
    EXPECT_EQ(AnswerDoc::text(AnswerDoc::child(domains[0], "DomainName")), "demo");
    EXPECT_EQ(AnswerDoc::text(AnswerDoc::child(domains[0], "SuffixName")), ".vorta.example");
}

TEST_F(ExchangeTest, ServiceListOfUserWithoutDomainsHasOnlyUserId) {
    const AnswerDoc answer = exchange(request(Exchange::ServiceList, "alice", "secret"));
    EXPECT_THAT(AnswerDoc::childNames(answer.root()),
                ElementsAre("MsgType", "Version", "Result", "UserID"));
    EXPECT_EQ(answer.text("UserID"), fixtureUser("alice").userId);
}

TEST_F(ExchangeTest, LineReportEchoesPeerAddressAndLineIdAndIsRecorded) {
    const std::string lineId = "{6F9619FF-8B86-D011-B42D-00C04FC964FF}";
    const AnswerDoc answer = exchange(request(Exchange::LineReport, "demo", "demo123",
                                              el("LineID", lineId) + el("UpdateIP", "1")));
    EXPECT_THAT(AnswerDoc::childNames(answer.root()),
                ElementsAre("MsgType", "Version", "UserIP", "LineID", "Result"));
    EXPECT_EQ(answer.text("MsgType"), "ActiveTestExResp");
    EXPECT_EQ(answer.text("UserIP"), "127.0.0.1");
    EXPECT_EQ(answer.text("LineID"), lineId);
    EXPECT_EQ(answer.text("Result"), "0");

    const auto reports = service.lineReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].userName, "demo");
    EXPECT_EQ(reports[0].lineId, lineId);
    EXPECT_EQ(reports[0].updateIp, "1");
    EXPECT_EQ(reports[0].remoteAddr, "127.0.0.1");
    EXPECT_EQ(reports[0].host, "127.0.0.1:" + std::to_string(service.port()));
    EXPECT_EQ(reports[0].result, "0");
    EXPECT_NE(reports[0].time.time_since_epoch().count(), 0);
}

TEST_F(ExchangeTest, LineReportWithBadPasswordIsStillRecorded) {
    const AnswerDoc answer = exchange(
        request(Exchange::LineReport, "demo", "nope", el("LineID", "L-2") + el("UpdateIP", "0")));
    EXPECT_EQ(answer.text("Result"), "102");
    EXPECT_EQ(answer.text("LineID"), "L-2");
    const auto reports = service.lineReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].updateIp, "0");
    EXPECT_EQ(reports[0].result, "102");
}

std::string systemInfo(const std::string& os) {
    return group("SystemInfo", el("OSVersion", os) + el("PackInfo", "Service Pack 3") +
                                   el("IISVersion", "") + el("MemoryInfo", "2048 MB") +
                                   el("CPUVersion", "Example CPU") + el("CPUFreq", "2400"));
}

TEST_F(ExchangeTest, SystemUploadIsStoredForValidUserOnly) {
    EXPECT_EQ(exchange(request(Exchange::SystemUpload, "demo", "demo123", systemInfo("OS 5.1")))
                  .text("Result"),
              "0");
    EXPECT_EQ(
        exchange(request(Exchange::SystemUpload, "demo", "bad", systemInfo("OS 6"))).text("Result"),
        "102");
    const auto uploads = service.systemUploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].userName, "demo");
    const std::map<std::string, std::string> expected{
        {"OSVersion", "OS 5.1"},   {"PackInfo", "Service Pack 3"}, {"IISVersion", ""},
        {"MemoryInfo", "2048 MB"}, {"CPUVersion", "Example CPU"},  {"CPUFreq", "2400"}};
    EXPECT_EQ(uploads[0].fields, expected);
}

TEST_F(ExchangeTest, RequestDeclaredAsGbkIsDecoded) {
    std::string body = request(Exchange::SystemUpload, "alice", "secret",
                               systemInfo("\xCE\xA2\xC8\xED"));  // "微软" in GBK
    body.replace(0, body.find("?>") + 2, R"(<?xml version="1.0" encoding="GBK"?>)");
    EXPECT_EQ(exchange(body).text("Result"), "0");
    const auto uploads = service.systemUploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].fields.at("OSVersion"), "微软");
}

std::string adapter(const std::string& name, const std::string& ip) {
    return group("NetworkInfo", el("ConnName", name) + el("HardWare", "Example NIC") +
                                    el("MacAddr", "00-00-5E-00-53-01") + el("DHCPRun", "0") +
                                    el("IPAddr", ip) + el("SubMask", "255.255.255.0") +
                                    el("Gateway", "192.0.2.254") + el("DNSServer", "192.0.2.53"));
}

TEST_F(ExchangeTest, NetworkUploadStoresEveryAdapter) {
    EXPECT_EQ(exchange(request(Exchange::NetworkUpload, "demo", "demo123",
                               adapter("本地连接", "192.0.2.20") + adapter("LAN 2", "192.0.2.21")))
                  .text("Result"),
              "0");
    EXPECT_EQ(exchange(request(Exchange::NetworkUpload, "alice", "secret")).text("Result"), "0");

    const auto uploads = service.networkUploads();
    ASSERT_EQ(uploads.size(), 2u);
    EXPECT_EQ(uploads[0].userName, "demo");
    ASSERT_EQ(uploads[0].adapters.size(), 2u);
    EXPECT_EQ(uploads[0].adapters[0].at("ConnName"), "本地连接");
    EXPECT_EQ(uploads[0].adapters[0].at("IPAddr"), "192.0.2.20");
    EXPECT_EQ(uploads[0].adapters[1].at("IPAddr"), "192.0.2.21");
    EXPECT_EQ(uploads[0].adapters[1].size(), 8u);
    EXPECT_EQ(uploads[1].userName, "alice");
    EXPECT_TRUE(uploads[1].adapters.empty());
}

TEST_F(ExchangeTest, UploadAnswersCarryOnlyTypeVersionAndResult) {
    for (Exchange kind : {Exchange::SystemUpload, Exchange::NetworkUpload}) {
        EXPECT_THAT(AnswerDoc::childNames(exchange(request(kind, "alice", "secret")).root()),
                    ElementsAre("MsgType", "Version", "Result"));
    }
}

}  // namespace
}  // namespace devservice::test
