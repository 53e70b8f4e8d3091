// The domain page labels and the status report.

#include "ClientHarness.h"
#include "core/StatusReport.h"

namespace vorta {
namespace {

using test::ClientHarness;

std::shared_ptr<TGetServiceListResp> List() {
    auto list = std::make_shared<TGetServiceListResp>();
    EXPECT_TRUE(list->LoadFromXml(
        "<VortaPacket><Result>0</Result>"
        "<DomainInfo><DomainName>a</DomainName><SuffixName>.vorta.example</SuffixName>"
        "<OnlineOpt>1</OnlineOpt><OnlineStaticIP>192.0.2.1</OnlineStaticIP><OfflineOpt>3</"
        "OfflineOpt>"
        "<StartDate>2026-01-01</StartDate><EndDate>2027-01-01</EndDate>"
        "<ResourceInfo><ResourceType>cname</ResourceType><KeyName>www</KeyName>"
        "<KeyValue>a.vorta.example</KeyValue><TransURL>http://x.example/</TransURL></ResourceInfo>"
        "<ResourceInfo><ResourceType>TXT</ResourceType><KeyName>t</KeyName></ResourceInfo>"
        "</DomainInfo>"
        "<DomainInfo><DomainName>b</DomainName><SuffixName>.example</SuffixName><OnlineOpt>7</"
        "OnlineOpt>"
        "<OfflineOpt>x</OfflineOpt></DomainInfo></VortaPacket>"));
    return list;
}

TEST(DomainView, LabelsFollowTheSelectedNode) {
    ClientHarness h;
    h.client->Session().OfferServiceList(List(), h.client->Session().Generation());
    h.client->FillDomainTree();
    const ViewState& v = h.client->View();
    h.client->TreeViewDNSClick({DomainSelection::Root, 0, 0});
    EXPECT_EQ(v.lab1, "共 2 个域名。");

    h.client->TreeViewDNSClick({DomainSelection::Domain, 0, 0});
    EXPECT_EQ(v.lab1, "域名：a，后缀：.vorta.example");
    EXPECT_EQ(v.lab2, "在线时指向到静态IP地址：192.0.2.1");
    EXPECT_EQ(v.lab3, "离线时指向到nabu提供的页面");
    EXPECT_EQ(v.lab7, "服务期限自2026-01-01至2027-01-01");

    h.client->TreeViewDNSClick({DomainSelection::Resource, 0, 0});
    EXPECT_EQ(v.lab5, "CNAME记录www，DNS数据为：a.vorta.example");
    EXPECT_EQ(v.lab6, "该主机转发到URL：http://x.example/");
    EXPECT_EQ(h.client->Session().ServiceList()->Domains[0].Resources[0].ResourceType, "CNAME")
        << "stored in upper case afterwards";
    h.client->TreeViewDNSClick({DomainSelection::Resource, 0, 1});
    EXPECT_EQ(v.lab5, "Unknowt，DNS数据为：");

    // Options without a text of their own leave the labels as they were.
    h.client->TreeViewDNSClick({DomainSelection::Domain, 1, 0});
    EXPECT_EQ(v.lab1, "域名：b，后缀：.example");
    EXPECT_EQ(v.lab2, "在线时指向到静态IP地址：192.0.2.1");
    EXPECT_EQ(v.lab3, "离线时指向到nabu提供的页面");
    EXPECT_EQ(v.lab5, "-");

    h.client->TreeViewDNSClick({DomainSelection::Resource, 5, 0});  // out of range: nothing
    EXPECT_EQ(v.lab1, "域名：b，后缀：.example");
}

TEST(StatusReport, TextAndJsonCarryTheState) {
    StatusSnapshot s;
    s.loggedOn = true;
    s.userName = "de\"mo";
    s.lastErrorCode = 102;
    s.lastErrorText = "密码错误！";
    s.lines = {LineRow{true, false, "eth1\n", true, "203.0.113.7", "no route on eth1", 0},
               LineRow{true, true, "eth2", false, "198.51.100.9", "", 1796757605}};
    s.domains = List();
    s.pairRole = "backup";
    s.linesEnabled = false;
    s.groupState = 2;
    s.peerState = 1;
    const std::string text = FormatStatusText(s);
    EXPECT_NE(text.find("enabled: no  group state: 2\npair: backup  peer state: 1"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("logged on as de\"mo"), std::string::npos);
    EXPECT_NE(text.find("102 密码错误！"), std::string::npos);
    EXPECT_NE(text.find("备组"), std::string::npos);
    EXPECT_NE(text.find("address: 203.0.113.7  reported: never  not reported: no route on eth1\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("address: 198.51.100.9  reported: 2026-12-08T19:20:05Z\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("a.vorta.example\n    www"), std::string::npos) << text;
    const std::string json = FormatStatusJson(s);
    EXPECT_NE(json.find(R"("userName":"de\"mo")"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("entryName":"eth1\n")"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("group":"backup")"), std::string::npos);
    EXPECT_NE(
        json.find(R"("address":"203.0.113.7","reason":"no route on eth1","reportedAt":null})"),
        std::string::npos)
        << json;
    EXPECT_NE(json.find(R"("reason":"","reportedAt":"2026-12-08T19:20:05Z"})"), std::string::npos)
        << json;
    EXPECT_NE(json.find(R"("pair":{"role":"backup","peerState":1,"ignoredDatagrams":0,)"
                        R"("failure":""},"linesEnabled":false,)"
                        R"("groupState":2)"),
              std::string::npos)
        << json;
    EXPECT_EQ(JsonString(std::string("\x01", 1)), "\"\\u0001\"");
}

}  // namespace
}  // namespace vorta
