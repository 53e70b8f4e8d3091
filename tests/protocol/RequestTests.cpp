#include <gtest/gtest.h>

#include "XmlTestUtil.h"
#include "protocol/Messages.h"

namespace vorta {
namespace {

using test::ChildNames;
using test::TextOf;
using Names = std::vector<std::string>;

xml::XmlDocument Reparse(const std::string& text) {
    xml::XmlDocument doc = xml::Parse(text);
    EXPECT_TRUE(doc) << text;
    return doc;
}

template <typename Req>
void FillCommon(Req& req, std::string_view type) {
    req.MsgType = type;
    req.Version = kProtocolVersion;
    req.UserName = "alice";
    req.UserPwd = "pw";
}

TEST(Requests, ProfileQueryCarriesNoVersion) {
    TUserAuthReq req;
    FillCommon(req, kQueryUserProfileReq);
    const std::string text = req.SaveToXml();
    auto doc = Reparse(text);
    const xml::XmlElement root = xml::Root(doc);
    EXPECT_EQ(xml::Name(root), "VortaPacket");
    EXPECT_EQ(ChildNames(root), (Names{"MsgType", "UserName", "UserPwd"}));
    EXPECT_EQ(TextOf(doc, {"VortaPacket", "MsgType"}), "QueryUserProfileReq");
    // The text on the wire is UTF-8 and says so.
    EXPECT_NE(text.find(R"(encoding="UTF-8")"), std::string::npos) << text;
}

TEST(Requests, LineReportElementsInOrder) {
    TActiveTestExReq req;
    FillCommon(req, kActiveTestExReq);
    req.LineID = "0F8FAD5B-D9CB-469F-A165-70867728950E";
    req.UpdateIP = "1";
    auto doc = Reparse(req.SaveToXml());
    EXPECT_EQ(ChildNames(xml::Root(doc)),
              (Names{"MsgType", "Version", "UserName", "UserPwd", "LineID", "UpdateIP"}));
    EXPECT_EQ(TextOf(doc, {"VortaPacket", "LineID"}), req.LineID);
    EXPECT_EQ(TextOf(doc, {"VortaPacket", "UpdateIP"}), "1");
}

TEST(Requests, RebuildReflectsOnlyTheCurrentFields) {
    TBaseReq req;
    FillCommon(req, kGetServiceListReq);
    req.SaveToXml();
    req.UserName = "bob";
    auto doc = Reparse(req.SaveToXml());
    EXPECT_EQ(ChildNames(xml::Root(doc)), (Names{"MsgType", "Version", "UserName", "UserPwd"}));
    EXPECT_EQ(TextOf(doc, {"VortaPacket", "UserName"}), "bob");
}

TEST(Requests, MarkupAndNonAsciiInValuesStayText) {
    TBaseReq req;
    FillCommon(req, kGetServiceListReq);
    req.UserName = "张三";
    req.UserPwd = "a<b>&c]]>\"'";
    const std::string text = req.SaveToXml();
    EXPECT_EQ(text.find("<b>"), std::string::npos);
    auto doc = Reparse(text);
    EXPECT_EQ(TextOf(doc, {"VortaPacket", "UserPwd"}), req.UserPwd);
    EXPECT_EQ(TextOf(doc, {"VortaPacket", "UserName"}), "张三");
    EXPECT_NE(text.find("张三"), std::string::npos) << "UTF-8 on the wire";
}

TEST(Requests, EmptyFieldsStillWriteTheirElements) {
    TActiveTestExReq req;  // nothing filled in
    auto doc = Reparse(req.SaveToXml());
    EXPECT_EQ(ChildNames(xml::Root(doc)),
              (Names{"MsgType", "Version", "UserName", "UserPwd", "LineID", "UpdateIP"}));
    EXPECT_EQ(TextOf(doc, {"VortaPacket", "LineID"}), "");
}

TEST(Requests, ValuesXmlCannotCarryAreRefused) {
    TBaseReq req;
    FillCommon(req, kGetServiceListReq);
    req.UserPwd = std::string("a\x01", 2);
    EXPECT_THROW(req.SaveToXml(), xml::XmlError);
    req.UserPwd = "\xC3";  // not UTF-8
    EXPECT_THROW(req.SaveToXml(), xml::XmlError);
    // The object is still usable afterwards.
    req.UserPwd = "fine";
    auto doc = Reparse(req.SaveToXml());
    EXPECT_EQ(TextOf(doc, {"VortaPacket", "UserPwd"}), "fine");
}

TEST(Requests, SystemUploadWritesSixFieldsInOrder) {
    TPostSystemInfoReq req;
    FillCommon(req, kPostSystemInfoReq);
    req.SystemInfo.MemoryInfo = "2048MB/1024MB";
    auto doc = Reparse(req.SaveToXml());
    const xml::XmlElement root = xml::Root(doc);
    EXPECT_EQ(ChildNames(root), (Names{"MsgType", "Version", "UserName", "UserPwd", "SystemInfo"}));
    EXPECT_EQ(
        ChildNames(xml::FirstChild(root, "SystemInfo")),
        (Names{"OSVersion", "PackInfo", "IISVersion", "MemoryInfo", "CPUVersion", "CPUFreq"}));
    EXPECT_EQ(TextOf(doc, {"VortaPacket", "SystemInfo", "MemoryInfo"}), "2048MB/1024MB");
}

TEST(Requests, NetworkUploadWritesOneElementPerPresentRecord) {
    TPostNetworkInfoReq req;
    FillCommon(req, kPostNetworkInfoReq);
    auto empty = Reparse(req.SaveToXml());
    EXPECT_EQ(ChildNames(xml::Root(empty)), (Names{"MsgType", "Version", "UserName", "UserPwd"}));

    for (const char* name : {"eth0", "wlan0"}) {
        auto info = std::make_unique<TNetworkInfoSchema>();
        info->ConnName = name;
        req.NetworkInfos.push_back(std::move(info));
        req.NetworkInfos.push_back(nullptr);  // an absent entry is skipped
    }
    auto doc = Reparse(req.SaveToXml());
    const xml::XmlElement root = xml::Root(doc);
    const auto adapters = xml::Children(root, "NetworkInfo");
    ASSERT_EQ(adapters.size(), 2u);
    EXPECT_EQ(ChildNames(adapters[0]), (Names{"ConnName", "HardWare", "MacAddr", "DHCPRun",
                                              "IPAddr", "SubMask", "Gateway", "DNSServer"}));
    EXPECT_EQ(xml::TrimmedText(xml::FirstChild(adapters[0], "ConnName")), "eth0");
    EXPECT_EQ(xml::TrimmedText(xml::FirstChild(adapters[1], "ConnName")), "wlan0");
}

}  // namespace
}  // namespace vorta
