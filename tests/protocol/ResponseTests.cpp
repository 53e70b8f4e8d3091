#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "protocol/HttpRequest.h"
#include "protocol/Messages.h"
#include "protocol/TextCodec.h"

namespace vorta {
namespace {

std::string Packet(const std::string& inner, const char* encoding = "UTF-8") {
    return std::string(R"(<?xml version="1.0" encoding=")") + encoding + R"("?><VortaPacket>)" +
           inner + "</VortaPacket>";
}

TEST(Responses, FieldsAreTrimmedAndReadAnywhereUnderTheRoot) {
    TActiveTestExResp resp;
    ASSERT_TRUE(resp.LoadFromXml(
        Packet("<Result>\n  0 \t</Result><UserIP> 198.51.100.7\r\n</UserIP><LineID>L-1</LineID>"
               "<MsgType>ActiveTestExResp</MsgType>")));
    EXPECT_EQ(resp.Result, "0");
    EXPECT_EQ(resp.UserIP, "198.51.100.7");
    EXPECT_EQ(resp.LineID, "L-1");
    EXPECT_EQ(resp.MsgType, "ActiveTestExResp");
    EXPECT_EQ(resp.Version, "");
}

TEST(Responses, MissingElementsKeepEarlierValuesAndOtherRootsFillNothing) {
    TBaseResp resp;
    ASSERT_TRUE(resp.LoadFromXml(Packet("<Result>0</Result><Version>1.0</Version>")));
    ASSERT_TRUE(resp.LoadFromXml(Packet("<Version>2.0</Version>")));
    EXPECT_EQ(resp.Result, "0") << "fields are never cleared before parsing";
    EXPECT_EQ(resp.Version, "2.0");

    TBaseResp fresh;
    EXPECT_TRUE(fresh.LoadFromXml("<Other><Result>0</Result></Other>"));
    EXPECT_EQ(fresh.Result, "");
    EXPECT_TRUE(fresh.LoadFromXml(Packet("<Wrapper><Result>0</Result></Wrapper>")));
    EXPECT_EQ(fresh.Result, "") << "only direct children of the root count";
}

TEST(Responses, TextThatIsNotXmlIsRefusedAndChangesNothing) {
    TBaseResp resp;
    ASSERT_TRUE(resp.LoadFromXml(Packet("<Result>102</Result>")));
    for (const std::string bad : {"", "Service Unavailable", "<VortaPacket><Result>0</Result>",
                                  "<a></b>", "<VortaPacket/><extra/>"}) {
        EXPECT_FALSE(resp.LoadFromXml(bad)) << bad;
        EXPECT_EQ(resp.Result, "102");
        EXPECT_FALSE(IsValidXml(bad)) << bad;
    }
}

TEST(Responses, BytesInvalidInTheDeclaredEncodingAreRefusedWithoutAWordOnStderr) {
    // The parser's own complaints would land in the client's log (stderr, the journal).
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    std::FILE* capture = std::tmpfile();
    ASSERT_NE(capture, nullptr);
    ::dup2(::fileno(capture), STDERR_FILENO);
    TBaseResp resp;
    const bool loaded =
        resp.LoadFromXml(Packet("<Result>0</Result><RealName>\xd5\xc5\xff "
                                "</RealName>",
                                "GBK"));
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    const long written = std::ftell(capture);
    std::fclose(capture);
    EXPECT_FALSE(loaded);
    EXPECT_EQ(written, 0) << "the parser wrote to stderr";
}

TEST(Responses, DocumentTypeDeclarationsAreRefused) {
    // Neither an entity bomb nor an external entity is ever expanded or fetched.
    const std::string bomb =
        R"(<?xml version="1.0"?><!DOCTYPE VortaPacket [<!ENTITY a "aaaaaaaaaa">)"
        R"(<!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;"><!ENTITY c "&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;">)"
        R"(]><VortaPacket><Result>&c;</Result></VortaPacket>)";
    const std::string external =
        R"(<?xml version="1.0"?><!DOCTYPE VortaPacket [<!ENTITY x SYSTEM "file:///etc/passwd">]>)"
        R"(<VortaPacket><Result>&x;</Result></VortaPacket>)";
    TBaseResp resp;
    EXPECT_FALSE(resp.LoadFromXml(bomb));
    EXPECT_FALSE(resp.LoadFromXml(external));
    EXPECT_EQ(resp.Result, "");
    EXPECT_FALSE(
        IsValidXml(R"(<!DOCTYPE VortaPacket SYSTEM "http://192.0.2.1/x.dtd"><VortaPacket/>)"));
}

TEST(Responses, GbkDocumentsDecodeToUtf8) {
    const std::string utf8 = Packet(
        "<Result>0</Result><UserProfile><UserName>zhang</UserName><RealName>张三</RealName>"
        "<Address>北京市海淀区</Address></UserProfile>",
        "GBK");
    const std::string gbk = Utf8ToGbk(utf8);
    ASSERT_NE(gbk, utf8);
    TQueryUserProfileResp resp;
    ASSERT_TRUE(resp.LoadFromXml(gbk));
    EXPECT_EQ(resp.Profile.RealName, "张三");
    EXPECT_EQ(resp.Profile.Address, "北京市海淀区");
    EXPECT_EQ(resp.Profile.UserName, "zhang");
}

TEST(Responses, ProfileFieldsComeFromTheFirstProfileThatHasThem) {
    TQueryUserProfileResp resp;
    ASSERT_TRUE(resp.LoadFromXml(
        Packet("<Result>0</Result><UserProfile><Email>a@x.example</Email></UserProfile>"
               "<UserProfile><Email>b@x.example</Email><UserID> 42 </UserID></UserProfile>")));
    EXPECT_EQ(resp.Profile.Email, "a@x.example");
    EXPECT_EQ(resp.Profile.UserID, "42");

    TQueryUserProfileResp none;
    ASSERT_TRUE(none.LoadFromXml(Packet("<Result>100</Result>")));
    EXPECT_EQ(none.Result, "100");
    EXPECT_EQ(none.Profile.UserName, "");
    EXPECT_EQ(none.Profile.UserID, "");
}

TEST(Responses, ServiceListReadsDomainsAndDirectResourcesInOrder) {
    const std::string first = Packet(
        "<Result>0</Result><UserID>7</UserID>"
        "<DomainInfo><DomainName>one</DomainName><SuffixName>.vorta.example</SuffixName>"
        "<TTL>\n 600 \n</TTL>"
        "<ResourceInfo><KeyName>www</KeyName></ResourceInfo>"
        "<ResourceInfo><KeyName>mail</KeyName><KeyValue>192.0.2.5</KeyValue></ResourceInfo>"
        "<Nested><ResourceInfo><KeyName>deep</KeyName></ResourceInfo></Nested>"
        "<ResourceInfo><KeyName>ftp</KeyName></ResourceInfo></DomainInfo>"
        "<DomainInfo><DomainName>two</DomainName></DomainInfo>");
    TGetServiceListResp resp;
    ASSERT_TRUE(resp.LoadFromXml(first));
    EXPECT_EQ(resp.UserID, "7");
    ASSERT_EQ(resp.Domains.size(), 2u);
    const auto& one = resp.Domains[0];
    EXPECT_EQ(one.DomainName + one.SuffixName, "one.vorta.example");
    EXPECT_EQ(one.TTL, "600");
    ASSERT_EQ(one.Resources.size(), 3u);
    EXPECT_EQ(one.Resources[0].KeyName, "www");
    EXPECT_EQ(one.Resources[1].KeyValue, "192.0.2.5");
    EXPECT_EQ(one.Resources[2].KeyName, "ftp");
    EXPECT_EQ(resp.Domains[1].DomainName, "two");
    EXPECT_TRUE(resp.Domains[1].Resources.empty());

    // A second answer without domains replaces the first list entirely.
    ASSERT_TRUE(resp.LoadFromXml(Packet("<Result>0</Result>")));
    EXPECT_TRUE(resp.Domains.empty());
    EXPECT_EQ(resp.UserID, "7");
}

}  // namespace
}  // namespace vorta
