// Whole protocol exchanges against the development service: request built, carried, answered
// and read back, with the service's result codes and injected faults.

#include "DevServiceFixture.h"
#include "protocol/Messages.h"
#include "protocol/ResultCodes.h"

namespace vorta {
namespace {

using devservice::Exchange;

class ExchangeTest : public test::DevServiceTest {
protected:
    // The profile query as the logon runs it: the code it would record, 0 on success.
    int Logon(const std::string& user, const std::string& pwd, TQueryUserProfileResp& resp) {
        TUserAuthReq req;
        req.MsgType = kQueryUserProfileReq;
        req.Version = kProtocolVersion;
        req.UserName = user;
        req.UserPwd = pwd;
        std::string answer;
        HttpRequest("POST", ServiceUrl(), req.SaveToXml(), answer, true);
        if (answer.empty()) return kResultExchangeFailed;
        resp.LoadFromXml(answer);
        return resp.Result == "0" ? kResultOk : ResultCodeToInt(resp.Result, kResultExchangeFailed);
    }
};

TEST_F(ExchangeTest, LogonOutcomes) {
    TQueryUserProfileResp ok;
    EXPECT_EQ(Logon("demo", "demo123", ok), kResultOk);
    EXPECT_EQ(ok.Profile.UserName, "demo");
    EXPECT_FALSE(ok.Profile.UserID.empty());

    TQueryUserProfileResp unknown, wrong, garbled, down;
    EXPECT_EQ(Logon("nobody", "x", unknown), kResultNotRegistered);
    EXPECT_EQ(Logon("demo", "wrong", wrong), kResultWrongPassword);
    service.setFault(Exchange::Profile, test::ResultText("abc"));
    EXPECT_EQ(Logon("demo", "demo123", garbled), kResultExchangeFailed);
    service.setFault(Exchange::Profile, test::ResultText("101"));
    EXPECT_EQ(Logon("demo", "demo123", garbled), 101);
    service.stop();
    EXPECT_EQ(Logon("demo", "demo123", down), kResultExchangeFailed);
}

TEST_F(ExchangeTest, LineReportIsAnsweredWithTheCallersAddress) {
    TActiveTestExReq req;
    TActiveTestExResp resp;
    req.MsgType = kActiveTestExReq;
    req.Version = kProtocolVersion;
    req.UserName = "demo";
    req.UserPwd = "demo123";
    // One request and response pair serves every line, as the update loop uses them.
    for (const char* line :
         {"11111111-2222-3333-4444-555555555555", "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE"}) {
        req.LineID = line;
        req.UpdateIP = "0";
        std::string answer;
        HttpRequest("POST", ServiceUrl(), req.SaveToXml(), answer, true);
        ASSERT_TRUE(resp.LoadFromXml(answer));
        EXPECT_EQ(resp.Result, "0");
        EXPECT_EQ(resp.UserIP, "127.0.0.1");
        EXPECT_EQ(resp.LineID, line);
    }
    const auto reports = service.lineReports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1].lineId, "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE");
    EXPECT_EQ(reports[1].userName, "demo");
    EXPECT_EQ(reports[1].updateIp, "0");
}

TEST_F(ExchangeTest, UploadsArriveIntact) {
    TPostSystemInfoReq sys;
    sys.MsgType = kPostSystemInfoReq;
    sys.Version = kProtocolVersion;
    sys.UserName = "demo";
    sys.UserPwd = "demo123";
    sys.SystemInfo.OSVersion = "Debian GNU/Linux 12 (bookworm)";
    sys.SystemInfo.CPUVersion = "处理器 A;处理器 B";
    sys.SystemInfo.CPUFreq = "2400 MHZ;2400 MHZ";
    std::string answer;
    HttpRequest("POST", ServiceUrl(), sys.SaveToXml(), answer, true);
    TBaseResp resp;
    ASSERT_TRUE(resp.LoadFromXml(answer));
    EXPECT_EQ(resp.Result, "0");

    TPostNetworkInfoReq net;
    net.MsgType = kPostNetworkInfoReq;
    net.Version = kProtocolVersion;
    net.UserName = "demo";
    net.UserPwd = "demo123";
    auto adapter = std::make_unique<TNetworkInfoSchema>();
    adapter->ConnName = "eth0";
    adapter->IPAddr = "192.0.2.10";
    net.NetworkInfos.push_back(std::move(adapter));
    HttpRequest("POST", ServiceUrl(), net.SaveToXml(), answer, true);
    ASSERT_TRUE(resp.LoadFromXml(answer));
    EXPECT_EQ(resp.Result, "0");

    const auto systems = service.systemUploads();
    ASSERT_EQ(systems.size(), 1u);
    EXPECT_EQ(systems[0].fields.at("CPUVersion"), "处理器 A;处理器 B");
    EXPECT_EQ(systems[0].fields.at("PackInfo"), "");
    const auto networks = service.networkUploads();
    ASSERT_EQ(networks.size(), 1u);
    ASSERT_EQ(networks[0].adapters.size(), 1u);
    EXPECT_EQ(networks[0].adapters[0].at("IPAddr"), "192.0.2.10");
}

}  // namespace
}  // namespace vorta
