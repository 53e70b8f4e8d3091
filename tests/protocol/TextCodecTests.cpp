#include <gtest/gtest.h>

#include "protocol/TextCodec.h"

namespace vorta {
namespace {

// "中文" in GBK.
const std::string kChineseGbk = "\xD6\xD0\xCE\xC4";

TEST(TextCodec, DecodesGbkByDefaultAndNamedCharsets) {
    EXPECT_EQ(DecodeToUtf8(kChineseGbk), "中文");
    EXPECT_EQ(DecodeToUtf8(kChineseGbk, "gbk"), "中文");
    EXPECT_EQ(DecodeToUtf8("caf\xC3\xA9", "UTF-8"), "café");
    EXPECT_EQ(DecodeToUtf8("caf\xE9", "ISO-8859-1"), "café");
    // An unknown charset is read as GBK rather than dropped.
    EXPECT_EQ(DecodeToUtf8(kChineseGbk, "x-no-such-charset"), "中文");
}

TEST(TextCodec, InvalidBytesBecomeReplacementCharacters) {
    // 0xFF never starts a GBK character; a lead byte at the end has no trail byte.
    EXPECT_EQ(DecodeToUtf8("a\xFF"
                           "b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(DecodeToUtf8("ab\xD6"), "ab\xEF\xBF\xBD");
    EXPECT_EQ(DecodeToUtf8("x\xC3(", "utf-8"), "x\xEF\xBF\xBD(");
}

TEST(TextCodec, EncodesGbkAndCutsOnCharacterBoundaries) {
    EXPECT_EQ(Utf8ToGbk("中文"), kChineseGbk);
    EXPECT_EQ(Utf8ToGbk("ab中文", 5), "ab\xD6\xD0");  // the second character would need bytes 5..6
    EXPECT_EQ(Utf8ToGbk("ab中文", 4), "ab\xD6\xD0");
    EXPECT_EQ(Utf8ToGbk("ab中文", 3), "ab");
    EXPECT_EQ(Utf8ToGbk("a😀b"), "a?b");  // GBK has no emoji
    EXPECT_EQ(Utf8ToGbk("a\xFF"
                        "b"),
              "a?b");
}

TEST(TextCodec, Utf16TruncationKeepsSurrogatePairsWhole) {
    EXPECT_EQ(TruncateUtf16Units("abc", 2), "ab");
    EXPECT_EQ(TruncateUtf16Units("中文字", 2), "中文");
    EXPECT_EQ(TruncateUtf16Units("a😀", 2), "a");  // the emoji needs two units
    EXPECT_EQ(TruncateUtf16Units("a😀", 3), "a😀");
}

TEST(TextCodec, ValidatesUtf8) {
    EXPECT_TRUE(IsValidUtf8("中文 ok"));
    EXPECT_FALSE(IsValidUtf8("\xC0\x80"));          // overlong NUL
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
}

TEST(TextCodec, TrimsEveryControlCharacterAtBothEnds) {
    EXPECT_EQ(TrimControl(" \t\r\n\x01 0 \x1F"), "0");
    EXPECT_EQ(TrimControl("a b"), "a b");
    EXPECT_EQ(TrimControl(" \n "), "");
}

}  // namespace
}  // namespace vorta
