// What the code page backend does by itself: the charset names it maps, the UTF-16 it converts
// by hand, and the character-at-a-time path taken after a bad byte.
#include <gtest/gtest.h>

#include "protocol/TextCodec.h"

namespace vorta {
namespace {

TEST(CodePageCharsets, Utf16FollowsItsByteOrderMarkAndIsBigEndianWithoutOne) {
    using namespace std::string_literals;
    const std::string emoji = "\xF0\x9F\x98\x80";  // U+1F600, a surrogate pair
    EXPECT_EQ(DecodeToUtf8("\xFF\xFE=\xD8\x00\xDE"
                           "a\0"s,
                           "UTF-16"),
              emoji + "a");
    EXPECT_EQ(DecodeToUtf8("\xFE\xFFN-"s, "utf-16"), "中");
    EXPECT_EQ(DecodeToUtf8("N-"s, "UTF-16"), "中");
    EXPECT_EQ(DecodeToUtf8("-N"s, "UTF-16LE"), "中");
    EXPECT_EQ(DecodeToUtf8("N-\0"s, "UTF-16BE"), "中\xEF\xBF\xBD");  // odd byte at the end
}

TEST(CodePageCharsets, NamesMapToTheirCodePages) {
    EXPECT_EQ(DecodeToUtf8("\x80", "windows-1252"), "€");
    EXPECT_EQ(DecodeToUtf8("\x80", "ISO-8859-1"), "\xC2\x80");  // U+0080, not the euro sign
    EXPECT_EQ(DecodeToUtf8("\xA4", "iso-8859-15"), "€");
    EXPECT_EQ(DecodeToUtf8("\xD6\xD0", "GB2312"), "中");
    EXPECT_EQ(DecodeToUtf8("\x82\xA0", "Shift_JIS"), "あ");
    EXPECT_EQ(DecodeToUtf8("\xA4\xA4", "Big5"), "中");
    // A lead byte whose trail byte is no trail byte: only the lead byte is lost.
    EXPECT_EQ(DecodeToUtf8("\xD6 ", "GBK"), "\xEF\xBF\xBD ");
}

}  // namespace
}  // namespace vorta
