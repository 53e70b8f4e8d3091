#include <gtest/gtest.h>

#include "base/Url.h"

namespace vorta {
namespace {

TEST(UrlEncode, KeepsAsciiLettersAndDigitsInTheirCase) {
    EXPECT_EQ(UrlEncode("AbcXYZ019"), "AbcXYZ019");
    EXPECT_EQ(UrlEncode(""), "");
}

TEST(UrlEncode, BlankBecomesPlusAndEverythingElseUpperCaseHex) {
    EXPECT_EQ(UrlEncode("a b~"), "a+b%7E");
    EXPECT_EQ(UrlEncode("-_.*+&=%/"), "%2D%5F%2E%2A%2B%26%3D%25%2F");
    EXPECT_EQ(UrlEncode(std::string_view("\0\t\x7f", 3)), "%00%09%7F");
}

TEST(UrlEncode, EncodesMultiByteCharactersBytewise) {
    EXPECT_EQ(UrlEncode("登录"), "%E7%99%BB%E5%BD%95");
    EXPECT_EQ(UrlEncode("\xB5\xC7"), "%B5%C7") << "GBK bytes are bytes like any other";
}

struct Split {
    std::string host, port, path;
};

Split SplitOf(const std::string& url, std::string path = "unchanged") {
    Split s{"old-host", "old-port", std::move(path)};
    SplitUrl(url, s.host, s.port, s.path);
    return s;
}

TEST(SplitUrl, SchemeInAnyCaseWithPortAndPath) {
    const Split s = SplitOf("HTTP://h:8080/a/b");
    EXPECT_EQ(s.host, "h");
    EXPECT_EQ(s.port, "8080");
    EXPECT_EQ(s.path, "/a/b");
}

TEST(SplitUrl, BareHostKeepsThePathAndDefaultsThePort) {
    const Split s = SplitOf("h");
    EXPECT_EQ(s.host, "h");
    EXPECT_EQ(s.port, "80");
    EXPECT_EQ(s.path, "unchanged");
}

TEST(SplitUrl, HostWithPortButNoPath) {
    const Split s = SplitOf("http://192.0.2.1:81");
    EXPECT_EQ(s.host, "192.0.2.1");
    EXPECT_EQ(s.port, "81");
    EXPECT_EQ(s.path, "unchanged");
}

TEST(SplitUrl, OnlyTheFirstSlashAndColonSplit) {
    const Split s = SplitOf("http://h:1:2/a:b/c?x=/y");
    EXPECT_EQ(s.host, "h");
    EXPECT_EQ(s.port, "1:2");
    EXPECT_EQ(s.path, "/a:b/c?x=/y");
}

TEST(SplitUrl, PathOnlyGivesAnEmptyHost) {
    const Split s = SplitOf("/portal/login");
    EXPECT_EQ(s.host, "");
    EXPECT_EQ(s.port, "80");
    EXPECT_EQ(s.path, "/portal/login");
}

TEST(SplitUrl, AUrlInThePathIsNotTheScheme) {
    // A portal's path-only action that names where to go after the logon.
    const Split s = SplitOf("/login?next=http://198.51.100.1/");
    EXPECT_EQ(s.host, "");
    EXPECT_EQ(s.port, "80");
    EXPECT_EQ(s.path, "/login?next=http://198.51.100.1/");
    EXPECT_EQ(SplitOf("host/x?next=HTTP://elsewhere").host, "host");
}

TEST(SplitUrl, OtherSchemesAreNotRemoved) {
    const Split s = SplitOf("https://h/p");
    EXPECT_EQ(s.host, "https");
    EXPECT_EQ(s.port, "");
    EXPECT_EQ(s.path, "//h/p");
}

}  // namespace
}  // namespace vorta
