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

// Each case: the URL, then the host, port and path it splits into; a path the URL does not
// give stays what it was ("unchanged").
TEST(SplitUrl, SplitsHostPortAndPathAsFormsWriteThem) {
    struct Case {
        const char* url;
        const char* host;
        const char* port;
        const char* path;
    };
    const Case cases[] = {
        {"HTTP://h:8080/a/b", "h", "8080", "/a/b"},  // the scheme in any case
        {"h", "h", "80", "unchanged"},               // a bare host keeps the path
        {"http://192.0.2.1:81", "192.0.2.1", "81", "unchanged"},
        {"http://h:1:2/a:b/c?x=/y", "h", "1:2", "/a:b/c?x=/y"},  // only the first : and / split
        {"/portal/login", "", "80", "/portal/login"},            // path only: no host
        // A portal's path-only action that names where to go after the logon.
        {"/login?next=http://198.51.100.1/", "", "80", "/login?next=http://198.51.100.1/"},
        {"host/x?next=HTTP://elsewhere", "host", "80", "/x?next=HTTP://elsewhere"},
        {"HTTPS://h/p", "h", "443", "/p"},  // https has its own default port
    };
    for (const Case& c : cases) {
        std::string host = "old-host", port = "old-port", path = "unchanged";
        SplitUrl(c.url, host, port, path);
        EXPECT_EQ(host, c.host) << c.url;
        EXPECT_EQ(port, c.port) << c.url;
        EXPECT_EQ(path, c.path) << c.url;
    }
}

// Each case: the URL, then its scheme, host, port and path as every user of URLs reads them.
TEST(ReadUrl, KnowsHttpAndHttpsWithTheirDefaultPorts) {
    struct Case {
        const char* url;
        const char* scheme;
        const char* host;
        const char* port;
        const char* path;
    };
    const Case cases[] = {
        {"https://line1.example/vorta/vorta.dll/", "https", "line1.example", "443",
         "/vorta/vorta.dll/"},
        {"http://line1.example/vorta/", "http", "line1.example", "80", "/vorta/"},
        {"HTTPS://h:8443", "https", "h", "8443", ""},
        {"https://user:pw@h?q=1", "https", "h", "443", "?q=1"},
        {"http://[2001:db8::1]:81/x", "http", "2001:db8::1", "81", "/x"},
        {"https://[2001:db8::1]/", "https", "2001:db8::1", "443", "/"},
        {"ftp://h/x", "ftp", "h", "", "/x"},  // no default port for other schemes
        {"h:81/x", "", "h", "81", "/x"},
        {"/login?next=https://h/", "", "", "80", "/login?next=https://h/"},
    };
    for (const Case& c : cases) {
        const UrlParts parts = ReadUrl(c.url);
        EXPECT_EQ(parts.scheme, c.scheme) << c.url;
        EXPECT_EQ(parts.host, c.host) << c.url;
        EXPECT_EQ(parts.port, c.port) << c.url;
        EXPECT_EQ(parts.path, c.path) << c.url;
    }
    EXPECT_EQ(UrlHost("https://line%s.example/vorta/"), "line%s.example");
    EXPECT_EQ(UrlHost("line1.example/vorta/"), "") << "a host is only taken from an absolute URL";
}

}  // namespace
}  // namespace vorta
