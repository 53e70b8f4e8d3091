#include <gtest/gtest.h>

#include "lines/LineInfo.h"
#include "lines/LineRules.h"
#include "protocol/TextCodec.h"

namespace vorta {
namespace {

// A record built byte by byte as the file holds it.
LineInfoBytes HandBuilt() {
    LineInfoBytes b{};
    b[0] = 1;  // IsActive
    b[1] = 1;  // MasterGroup
    b[2] = 0;  // IsNecessary
    b[3] = 3;  // LineKind 3, little-endian
    auto put = [&](std::size_t at, const std::string& bytes) {
        b[at] = static_cast<std::uint8_t>(bytes.size());
        for (std::size_t i = 0; i < bytes.size(); ++i)
            b[at + 1 + i] = static_cast<std::uint8_t>(bytes[i]);
    };
    put(7, "\xB1\xBE\xB5\xD8\xC1\xAC\xBD\xD3");  // "本地连接" in GBK
    put(48, "user");
    put(69, "pw");
    put(90, "203.0.113.7");
    put(106, "0F8FAD5B-D9CB-469F-A165-70867728950E");
    return b;
}

TEST(LineInfo, FileFormatBothWays) {
    const TLineInfo info = DecodeLineInfo(HandBuilt());
    EXPECT_TRUE(info.IsActive);
    EXPECT_TRUE(info.MasterGroup);
    EXPECT_FALSE(info.IsNecessary);
    EXPECT_EQ(info.LineKind, 3);
    EXPECT_EQ(info.EntryName, "本地连接");
    EXPECT_EQ(info.UserName, "user");
    EXPECT_EQ(info.Password, "pw");
    EXPECT_EQ(info.IpAddress, "203.0.113.7");
    EXPECT_EQ(info.LineID, "0F8FAD5B-D9CB-469F-A165-70867728950E");
    EXPECT_EQ(EncodeLineInfo(info), HandBuilt());
}

TEST(LineInfo, KindIsALittleEndianSignedIntegerAtOffsetThree) {
    TLineInfo info;
    info.LineKind = -2;
    const auto bytes = EncodeLineInfo(info);
    EXPECT_EQ(bytes[3], 0xFE);
    EXPECT_EQ(bytes[6], 0xFF);
    EXPECT_EQ(DecodeLineInfo(bytes).LineKind, -2);
    info.LineKind = 0x01020304;
    EXPECT_EQ(EncodeLineInfo(info)[3], 0x04);
}

TEST(LineInfo, LongTextsAreCutOnCharacterBoundaries) {
    TLineInfo info;
    info.EntryName = std::string(39, 'a') + "中文";  // 39 + 2 + 2 GBK bytes
    info.UserName = std::string(25, 'u');
    const auto bytes = EncodeLineInfo(info);
    EXPECT_EQ(bytes[7], 39) << "the first Chinese character would need bytes 40 and 41";
    const TLineInfo back = DecodeLineInfo(bytes);
    EXPECT_EQ(back.EntryName, std::string(39, 'a'));
    EXPECT_EQ(back.UserName, std::string(20, 'u'));
    EXPECT_EQ(FitToSlot("中文中文中文中文", 15), "中文中文中文中");
}

TEST(LineInfo, TextsBeyondTheirSlotOrOutsideGbkAreRefusedNotCut) {
    const std::string twenty = "张三李四王五赵六钱七";  // ten characters, two GBK bytes each
    EXPECT_EQ(Utf8ToGbk(twenty).size(), 20u);
    EXPECT_EQ(TextRefusal(LineText::UserName, twenty), "");
    EXPECT_EQ(TextRefusal(LineText::Password, std::string(20, 'p')), "");
    EXPECT_EQ(TextRefusal(LineText::UserName, twenty + "a"), "用户名称最长20个字节（GBK）！");
    EXPECT_EQ(TextRefusal(LineText::Password, "a" + twenty), "用户密码最长20个字节（GBK）！");
    EXPECT_EQ(TextRefusal(LineText::EntryName, std::string(40, 'e')), "");
    EXPECT_EQ(TextRefusal(LineText::EntryName, twenty + twenty + "e"),
              "线路名称最长40个字节（GBK）！");
    EXPECT_EQ(TextRefusal(LineText::UserName, "who?"), "") << "a question mark of its own";
    EXPECT_EQ(TextRefusal(LineText::Password, "pw\xF0\x9F\x98\x80"),
              "用户密码含有GBK无法保存的字符！");
    EXPECT_EQ(TextRefusal(LineText::UserName, "bad\xFFutf8"), "用户名称含有GBK无法保存的字符！");

    TLineInfo record;
    record.EntryName = "eth0";
    record.UserName = twenty;
    record.Password = twenty;
    EXPECT_EQ(TextsRefusal(record), "");
    record.Password += "x";
    EXPECT_EQ(TextsRefusal(record), "用户密码最长20个字节（GBK）！");
}

TEST(LineInfo, OversizedLengthBytesAreClamped) {
    LineInfoBytes b{};
    b[90] = 200;  // IpAddress claims more than its 15 bytes
    for (std::size_t i = 91; i < 106; ++i) b[i] = '1';
    EXPECT_EQ(DecodeLineInfo(b).IpAddress, std::string(15, '1'));
}

TEST(LineInfo, NewLineIdsAreUpperCaseGuids) {
    const std::string a = NewLineId(), b = NewLineId();
    EXPECT_NE(a, b);
    ASSERT_EQ(a.size(), 36u);
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23)
            EXPECT_EQ(a[i], '-');
        else
            EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(a[i])) ||
                        (a[i] >= 'A' && a[i] <= 'F'))
                << a;
    }
}

}  // namespace
}  // namespace vorta
