#include "base/OwnedList.h"

#include <gtest/gtest.h>

#include <memory>
#include <new>

namespace rssvane {
namespace {

TEST(OwnedList, InsertsAtEitherEndAndInTheMiddleKeepingOrder) {
  OwnedList<int> list;
  ASSERT_EQ(list.Insert(0, std::make_unique<int>(2)), 0);
  ASSERT_EQ(list.Insert(0, std::make_unique<int>(1)), 0);
  ASSERT_EQ(list.Append(std::make_unique<int>(4)), 0);
  ASSERT_EQ(list.Insert(2, std::make_unique<int>(3)), 0);
  ASSERT_EQ(list.Count(), 4u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(*list.At(static_cast<size_t>(i)), i + 1);
  ASSERT_EQ(list.Remove(1), 0);
  EXPECT_EQ(*list.At(1), 3);
}

TEST(OwnedList, PositionsOutsideTheListAndNegativeSizesAre228) {
  OwnedList<int> list;
  EXPECT_EQ(list.Insert(1, std::make_unique<int>(1)), kErrListPosition);
  EXPECT_EQ(list.Remove(0), kErrListPosition);
  EXPECT_EQ(list.At(0), nullptr);
  EXPECT_EQ(list.Resize(-1, [] { return std::make_unique<int>(0); }), kErrListPosition);
}

TEST(OwnedList, ResizeCutsOrAppendsAndReportsAllocationFailureAs229) {
  OwnedList<int> list;
  int made = 0;
  ASSERT_EQ(list.Resize(3, [&] { return std::make_unique<int>(made++); }), 0);
  EXPECT_EQ(list.Count(), 3u);
  EXPECT_EQ(*list.At(2), 2);
  ASSERT_EQ(list.Resize(1, [&] { return std::make_unique<int>(made++); }), 0);
  EXPECT_EQ(list.Count(), 1u);
  EXPECT_EQ(list.Resize(5, []() -> std::unique_ptr<int> { throw std::bad_alloc(); }), kErrListMemory);
  EXPECT_EQ(list.Count(), 1u);
}

}  // namespace
}  // namespace rssvane
