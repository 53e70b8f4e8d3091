// The JSON control API used by demos and out-of-process tests.
#include <gmock/gmock.h>

#include <nlohmann/json.hpp>

#include "TestSupport.h"

namespace devservice::test {
namespace {

using nlohmann::json;
using ::testing::HasSubstr;

class ControlApiTest : public ServiceTest {
protected:
    json records() const {
        auto res = client().Get("/control/records");
        EXPECT_TRUE(res);
        if (!res) return {};
        EXPECT_EQ(res->status, 200);
        EXPECT_EQ(res->get_header_value("Content-Type"), "application/json");
        return json::parse(res->body);
    }

    httplib::Result control(const std::string& path, const std::string& body) const {
        return client().Post(path, body, "application/json");
    }
};

TEST_F(ControlApiTest, RecordsListEverythingTheClientSent) {
    exchange(request(Exchange::LineReport, "demo", "demo123",
                     el("LineID", "line-7") + el("UpdateIP", "1")));
    exchange(request(Exchange::SystemUpload, "demo", "demo123",
                     group("SystemInfo", el("OSVersion", "系统 5.1") + el("CPUFreq", "2400"))));
    exchange(request(Exchange::NetworkUpload, "alice", "secret",
                     group("NetworkInfo", el("ConnName", "LAN") + el("IPAddr", "192.0.2.8"))));
    ASSERT_TRUE(client().Get("/missing"));

    const json all = records();
    ASSERT_EQ(all.at("requests").size(), 4u);
    const json& first = all["requests"][0];
    EXPECT_EQ(first.at("method"), "POST");
    EXPECT_EQ(first.at("path"), DevService::kExchangePath);
    EXPECT_EQ(first.at("remoteAddr"), "127.0.0.1");
    EXPECT_EQ(first.at("exchange"), "lineReport");
    EXPECT_EQ(first.at("headers").at("Host"), "127.0.0.1:" + std::to_string(service.port()));
    EXPECT_THAT(first.at("body").get<std::string>(), HasSubstr("<LineID>line-7</LineID>"));
    EXPECT_EQ(all["requests"][1].at("exchange"), "systemUpload");
    EXPECT_EQ(all["requests"][2].at("exchange"), "networkUpload");
    EXPECT_TRUE(all["requests"][3].at("exchange").is_null());
    EXPECT_EQ(all["requests"][3].at("path"), "/missing");

    ASSERT_EQ(all.at("lineReports").size(), 1u);
    const json& report = all["lineReports"][0];
    EXPECT_EQ(report.at("userName"), "demo");
    EXPECT_EQ(report.at("lineId"), "line-7");
    EXPECT_EQ(report.at("updateIp"), "1");
    EXPECT_EQ(report.at("remoteAddr"), "127.0.0.1");
    EXPECT_EQ(report.at("host"), "127.0.0.1:" + std::to_string(service.port()));
    EXPECT_THAT(report.at("time").get<std::string>(),
                ::testing::MatchesRegex("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:.]+Z"));

    ASSERT_EQ(all.at("systemUploads").size(), 1u);
    EXPECT_EQ(all["systemUploads"][0].at("userName"), "demo");
    EXPECT_EQ(all["systemUploads"][0].at("fields").at("OSVersion"), "系统 5.1");
    ASSERT_EQ(all.at("networkUploads").size(), 1u);
    EXPECT_EQ(all["networkUploads"][0].at("adapters").at(0).at("IPAddr"), "192.0.2.8");
}

TEST_F(ControlApiTest, ControlRoutesAreNotRecorded) {
    records();
    ASSERT_TRUE(control("/control/fault", R"({"exchange":"profile","status":500})"));
    EXPECT_TRUE(records().at("requests").empty());
    EXPECT_TRUE(service.requests().empty());
}

TEST_F(ControlApiTest, FaultPostedAsJsonApplies) {
    auto res = control("/control/fault",
                       R"({"exchange":"serviceList","status":502,"result":"abc","count":1})");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200) << res->body;

    auto faulted = post(request(Exchange::ServiceList, "demo", "demo123"));
    ASSERT_TRUE(faulted);
    EXPECT_EQ(faulted->status, 502);
    EXPECT_EQ(AnswerDoc(faulted->body).text("Result"), "abc");
    EXPECT_EQ(exchange(request(Exchange::ServiceList, "demo", "demo123")).text("Result"), "0");
}

TEST_F(ControlApiTest, RepeatBuildsAHugeBodyFromASmallRequest) {
    ASSERT_TRUE(control("/control/fault",
                        R"({"exchange":"profile","body":"0123456789","repeat":200000,)"
                        R"("contentType":"text/xml"})"));
    auto res = post(request(Exchange::Profile, "demo", "demo123"));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->body.size(), 2'000'000u);
    EXPECT_EQ(res->body.substr(0, 20), "01234567890123456789");
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/xml");
}

TEST_F(ControlApiTest, BadFaultDocumentsAreRefusedWithAReason) {
    const std::pair<std::string, std::string> cases[] = {
        {"{not json", "not valid JSON"},
        {R"({"status":500})", "exchange"},
        {R"({"exchange":"teleport"})", "teleport"},
        {R"({"exchange":"profile","delayMs":"soon"})", "delayMs"},
        {R"({"exchange":"profile","status":42})", "status"},
        {R"({"exchange":"profile","colour":"red"})", "colour"},
        {R"({"exchange":"profile","repeat":3})", "repeat"},
    };
    for (const auto& [body, reason] : cases) {
        auto res = control("/control/fault", body);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 400) << body;
        EXPECT_THAT(json::parse(res->body).at("error").get<std::string>(), HasSubstr(reason))
            << body;
    }
    EXPECT_EQ(exchange(request(Exchange::Profile, "demo", "demo123")).text("Result"), "0");
}

TEST_F(ControlApiTest, ResetClearsFaultsAndRecords) {
    ASSERT_TRUE(control("/control/fault", R"({"exchange":"profile","result":"999"})"));
    EXPECT_EQ(exchange(request(Exchange::Profile, "demo", "demo123")).text("Result"), "999");
    exchange(request(Exchange::LineReport, "demo", "demo123", el("LineID", "x")));
    auto res = control("/control/reset", "");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);

    const json all = records();
    for (const char* list : {"requests", "lineReports", "systemUploads", "networkUploads"}) {
        EXPECT_TRUE(all.at(list).empty()) << list;
    }
    EXPECT_EQ(exchange(request(Exchange::Profile, "demo", "demo123")).text("Result"), "0");
}

}  // namespace
}  // namespace devservice::test
