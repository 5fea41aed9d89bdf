#include "base/CodePage.h"

#include <gtest/gtest.h>

#include <string>

namespace rssvane {
namespace {

TEST(CodePage, WindowsNumbersMapToIconvNames) {
  EXPECT_EQ(CodePageName(1252), "CP1252");
  EXPECT_EQ(CodePageName(932), "CP932");
  EXPECT_EQ(CodePageName(65001), "UTF-8");
  EXPECT_EQ(CodePageName(28591), "ISO-8859-1");
  EXPECT_EQ(CodePageName(28605), "ISO-8859-15");
  EXPECT_EQ(CodePageName(-5), "");
  EXPECT_FALSE(CodePageName(0).empty());
}

TEST(CodePage, Cp1252RoundTripsThroughWideText) {
  std::u16string wide;
  ASSERT_TRUE(NarrowToWide("caf\xE9 \x80", 1252, wide));
  EXPECT_EQ(wide, u"caf\u00E9 \u20AC");
  std::string narrow;
  ASSERT_TRUE(WideToNarrow(wide, 1252, narrow));
  EXPECT_EQ(narrow, "caf\xE9 \x80");
  // A character the code page lacks becomes a question mark.
  ASSERT_TRUE(WideToNarrow(u"a\u4E2Db", 1252, narrow));
  EXPECT_EQ(narrow, "a?b");
}

TEST(CodePage, Utf8AndShiftJisConvertBothWays) {
  std::u16string wide;
  ASSERT_TRUE(NarrowToWide("\xE6\x97\xA5\xE6\x9C\xAC", 65001, wide));
  EXPECT_EQ(wide, u"\u65E5\u672C");
  std::string sjis;
  ASSERT_TRUE(WideToNarrow(wide, 932, sjis));
  EXPECT_EQ(sjis, "\x93\xFA\x96\x7B");
  std::string utf8;
  ASSERT_TRUE(NarrowToUtf8(sjis, 932, utf8));
  EXPECT_EQ(utf8, "\xE6\x97\xA5\xE6\x9C\xAC");
  ASSERT_TRUE(Utf8ToNarrow("\xC3\xA9", 1252, utf8));
  EXPECT_EQ(utf8, "\xE9");
}

// Answers are remembered per code page and character: asked again, or about
// the same character in another code page, or about another character in
// the same slot, the answer is each one's own.
TEST(CodePage, ACharacterInACodePageIsThatCodePagesAnswerEvenWhenAskedAgain) {
  std::string out;
  for (int round = 0; round < 2; ++round) {
    EXPECT_TRUE(CharacterToNarrow(0x20AC, 1252, out));
    EXPECT_EQ(out, "\x80");
    EXPECT_FALSE(CharacterToNarrow(0x20AC, 28591, out));
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(CharacterToNarrow(0x20AC, 28605, out));  // ISO-8859-15
    EXPECT_EQ(out, "\xa4");
    EXPECT_TRUE(CharacterToNarrow(0xE9, 28591, out));
    EXPECT_EQ(out, "\xe9");
    EXPECT_TRUE(CharacterToNarrow(0x6771, 932, out));
    EXPECT_EQ(out, "\x93\x8c");
    // A character remembered in the same place as U+00E9.
    EXPECT_FALSE(CharacterToNarrow(0x4E8, 28591, out));
    EXPECT_TRUE(CharacterToNarrow(0xE9, 28591, out));
    EXPECT_EQ(out, "\xe9");
  }
}

TEST(CodePage, BytesThatDoNotConvertBecomeReplacementCharacters) {
  std::string utf8;
  ASSERT_TRUE(NarrowToUtf8("a\xFF" "b\xC3", 65001, utf8));
  EXPECT_EQ(utf8, "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
  std::u16string wide;
  ASSERT_TRUE(NarrowToWide("x\x81", 1252, wide));  // 0x81 is unassigned in 1252
  EXPECT_EQ(wide, u"x\uFFFD");
  EXPECT_FALSE(NarrowToUtf8("abc", 99999, utf8));
  EXPECT_TRUE(utf8.empty());
}

// UTF-8 decodes to the same text however it is read: well-formed text
// directly, anything else as the replacing conversion reads it. Random bytes
// near UTF-8's shapes must decode as their replaced UTF-8 does.
TEST(CodePage, Utf8ReadsAsTheReplacingConversionReadsIt) {
  std::u16string wide;
  ASSERT_TRUE(NarrowToWide("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBF\xBF", 65001, wide));
  EXPECT_EQ(wide, u"a\u00E9\u20AC\U0001F600\uFFFF");
  const unsigned char shapes[] = {'a', 0x7F, 0x80, 0xBF, 0xC0, 0xC1, 0xC2, 0xDF, 0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF, 0xA0, 0x9F, 0x90, 0x8F};
  uint32_t x = 12345;
  for (int round = 0; round < 20000; ++round) {
    std::string bytes;
    for (int i = 0; i < 6; ++i) {
      x = x * 1103515245 + 12345;
      bytes += static_cast<char>(shapes[(x >> 16) % sizeof shapes]);
    }
    std::string replaced;
    ASSERT_TRUE(NarrowToUtf8(bytes, 65001, replaced));
    std::u16string direct, viaReplaced;
    ASSERT_TRUE(NarrowToWide(bytes, 65001, direct));
    ASSERT_TRUE(NarrowToWide(replaced, 65001, viaReplaced));
    ASSERT_EQ(direct, viaReplaced) << round;
  }
}

}  // namespace
}  // namespace rssvane
