#include "base/StringList.h"

#include <gtest/gtest.h>

#include <string>

#include "base/Codes.h"

namespace rssvane {
namespace {

TEST(StringList, AppendGetSetKeepOtherEntriesIntact) {
  StringList list;
  ASSERT_EQ(list.Append("dc"), 0);
  ASSERT_EQ(list.Append(""), 0);
  ASSERT_EQ(list.Append("content"), 0);
  EXPECT_EQ(list.Count(), 3u);
  EXPECT_EQ(list.Get(0), "dc");
  EXPECT_EQ(list.Get(1), "");
  EXPECT_EQ(list.Get(2), "content");

  ASSERT_EQ(list.Set(0, "a-much-longer-entry"), 0);  // grows, moves the tail
  ASSERT_EQ(list.Set(2, "c"), 0);                     // shrinks at the end
  ASSERT_EQ(list.Set(1, std::string(200, 'm')), 0);   // grows past the inline buffer
  EXPECT_EQ(list.Get(0), "a-much-longer-entry");
  EXPECT_EQ(list.Get(1), std::string(200, 'm'));
  EXPECT_EQ(list.Get(2), "c");
  ASSERT_EQ(list.Set(1, "x"), 0);
  EXPECT_EQ(list.Get(1), "x");
  EXPECT_EQ(list.Get(2), "c");
  EXPECT_EQ(list.Find("c"), 2);
  EXPECT_EQ(list.Find("missing"), -1);
}

TEST(StringList, PastTheEndReadsEmptyAndWritesFailWith432) {
  StringList list;
  list.Append("one");
  EXPECT_EQ(list.Get(1), "");
  EXPECT_EQ(list.Get(1000), "");
  EXPECT_EQ(list.Set(1, "two"), kErrStringList);
  EXPECT_EQ(list.Count(), 1u);
  EXPECT_EQ(list.Set(0, std::string(StringList::kMaxEntry + 1, 'x')), kErrStringList);
  EXPECT_EQ(list.Get(0), "one");
}

TEST(StringList, ResizePadsWithEmptyEntriesOrCutsTheTail) {
  StringList list;
  list.Append("a");
  list.Append("b");
  list.Append("c");
  ASSERT_EQ(list.Resize(1), 0);
  EXPECT_EQ(list.Count(), 1u);
  EXPECT_EQ(list.Get(1), "");
  ASSERT_EQ(list.Resize(4), 0);
  EXPECT_EQ(list.Count(), 4u);
  EXPECT_EQ(list.Get(0), "a");
  EXPECT_EQ(list.Get(3), "");
  ASSERT_EQ(list.Set(3, "d"), 0);
  ASSERT_EQ(list.Append("e"), 0);
  EXPECT_EQ(list.Get(3), "d");
  EXPECT_EQ(list.Get(4), "e");
}

TEST(StringList, EntryLengthUsesAllThreeBytes) {
  StringList list;
  std::string big(70000, 'q');  // needs the high byte of the length
  ASSERT_EQ(list.Append(big), 0);
  ASSERT_EQ(list.Append("after"), 0);
  EXPECT_EQ(list.Get(0).size(), 70000u);
  EXPECT_EQ(list.Get(1), "after");
}

}  // namespace
}  // namespace rssvane
