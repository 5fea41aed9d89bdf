#include "base/GrowString.h"

#include <gtest/gtest.h>

#include <string>

namespace rssvane {
namespace {

TEST(GrowString, StaysInlineUpTo99BytesThenGrowsByHalf) {
  GrowString s;
  EXPECT_EQ(s.Capacity(), 99u);
  ASSERT_EQ(s.Assign(std::string(99, 'a')), 0);
  EXPECT_FALSE(s.OnHeap());
  ASSERT_EQ(s.Append('b'), 0);
  EXPECT_TRUE(s.OnHeap());
  EXPECT_EQ(s.Capacity(), 150u);  // 100 + 100/2
  EXPECT_EQ(s.Length(), 100u);
  EXPECT_EQ(s.CStr()[100], '\0');
  ASSERT_EQ(s.Append(std::string(51, 'c')), 0);
  EXPECT_EQ(s.Capacity(), 151u + 75u);
  EXPECT_EQ(s.View(), std::string(99, 'a') + "b" + std::string(51, 'c'));
}

TEST(GrowString, AssignNumberAndRemovePrefix) {
  GrowString s;
  s.AssignNumber(-9223372036854775807LL - 1);
  EXPECT_EQ(s.View(), "-9223372036854775808");
  s.AssignNumber(0);
  EXPECT_EQ(s.View(), "0");
  s.AssignNumber(20233);
  s.RemovePrefix(2);
  EXPECT_EQ(s.View(), "233");
  s.RemovePrefix(10);
  EXPECT_TRUE(s.Empty());
  EXPECT_EQ(s.CStr()[0], '\0');
}

TEST(GrowString, AppendAndAssignFromItselfSurviveReallocation) {
  GrowString s;
  s.Assign(std::string(80, 'x') + "tail");
  ASSERT_EQ(s.Append(s.View()), 0);  // forces the move to the heap mid-append
  EXPECT_EQ(s.View(), std::string(80, 'x') + "tail" + std::string(80, 'x') + "tail");
  ASSERT_EQ(s.Assign(s.View().substr(80, 4)), 0);
  EXPECT_EQ(s.View(), "tail");
}

TEST(GrowString, MoveTakesTheTextAndLeavesTheSourceEmpty) {
  GrowString shortText, longText;
  shortText.Assign("short");
  longText.Assign(std::string(300, 'z'));
  GrowString a(std::move(shortText));
  GrowString b(std::move(longText));
  EXPECT_EQ(a.View(), "short");
  EXPECT_EQ(b.View(), std::string(300, 'z'));
  EXPECT_TRUE(shortText.Empty());
  EXPECT_TRUE(longText.Empty());
  EXPECT_FALSE(longText.OnHeap());
  a = std::move(b);
  EXPECT_EQ(a.Length(), 300u);
}

TEST(GrowString, ResizeZeroFillsAndTruncateKeepsTheTerminator) {
  GrowString s;
  s.Assign("ab");
  ASSERT_EQ(s.Resize(5), 0);
  EXPECT_EQ(s.View(), std::string_view("ab\0\0\0", 5));
  s.Truncate(1);
  EXPECT_EQ(s.View(), "a");
  EXPECT_EQ(s.CStr()[1], '\0');
}

TEST(GrowString, AssignUpToNulEndsAtTheZeroByteAlsoFromItself) {
  GrowString s;
  ASSERT_EQ(s.AssignUpToNul(std::string("abcdefghij\0tail", 15)), 0);
  EXPECT_EQ(s.View(), "abcdefghij");
  EXPECT_EQ(s.CStr()[s.Length()], '\0');
  ASSERT_EQ(s.AssignUpToNul(s.View().substr(2, 5)), 0);
  EXPECT_EQ(s.View(), "cdefg");
}

}  // namespace
}  // namespace rssvane
