#include <gtest/gtest.h>

#include "protocol/ResultCodes.h"
#include "protocol/ServiceUrls.h"

namespace vorta {
namespace {

TEST(ResultCodes, ConvertsStrictDecimalIntegers) {
    EXPECT_EQ(ResultCodeToInt("100", 1), 100);
    EXPECT_EQ(ResultCodeToInt("0", 1), 0);
    EXPECT_EQ(ResultCodeToInt("-5", 1), -5);
    EXPECT_EQ(ResultCodeToInt("+7", 1), 7);
    EXPECT_EQ(ResultCodeToInt("2147483647", 1), 2147483647);
    EXPECT_EQ(ResultCodeToInt("-2147483648", 1), -2147483647 - 1);
    for (const char* bad : {"", "abc", "1.5", "12a", " 3", "+", "-", "+-1", "2147483648", "0x10"})
        EXPECT_EQ(ResultCodeToInt(bad, 1), 1) << bad;
}

TEST(ResultCodes, RecordedTextsFollowTheTable) {
    RecordServiceError(101);
    EXPECT_EQ(LastErrorCode(), 101);
    EXPECT_EQ(LastErrorText(), "服务器返回：未知错误");
    RecordServiceError(1);
    EXPECT_EQ(LastErrorText(), "连接服务器异常！");
    RecordServiceError(100);
    EXPECT_EQ(LastErrorText(), "用户尚未注册！");
    RecordServiceError(102);
    EXPECT_EQ(LastErrorCode(), 102);
    EXPECT_EQ(LastErrorText(), "密码错误！");

    std::string text;
    ResultCodeText(1, text);
    EXPECT_EQ(text, "服务器返回：未知错误");
    ResultCodeText(100, text);
    EXPECT_EQ(text, "用户尚未注册！");
    EXPECT_EQ(LastErrorCode(), 102) << "ResultCodeText leaves the last error alone";
}

TEST(ServiceUrls, LineUrlPutsThePositionIntoTheHostName) {
    EXPECT_EQ(FormatLineUrl(kDefaultLineUrlTemplate, 3),
              "http://line3.vorta.example/vorta/vorta.dll/");
    EXPECT_EQ(FormatLineUrl("http://a/", 1), "");
    EXPECT_EQ(FormatLineUrl("http://%s.%s/", 1), "");
    EXPECT_EQ(FormatLineUrl("http://%d%s/", 1), "");
    EXPECT_EQ(UrlHost(FormatLineUrl(kDefaultLineUrlTemplate, 2)), "line2.vorta.example");
    EXPECT_EQ(UrlHost(kDefaultServiceUrl), "service.vorta.example");
    EXPECT_EQ(UrlHost("http://user:pw@127.0.0.1:8080/x"), "127.0.0.1");
    EXPECT_EQ(UrlHost("http://[::1]:80/"), "::1");
    EXPECT_EQ(UrlHost("no-scheme"), "");
}

}  // namespace
}  // namespace vorta
