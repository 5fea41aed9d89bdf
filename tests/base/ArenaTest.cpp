#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/Arena.h"

namespace rssvane {
namespace {

// Texts and tables of every size, small ones between large ones: each keeps
// its bytes, the tables are aligned for the model's structures, and texts
// larger than a block get a block of their own.
TEST(Arena, PiecesOfAnySizeKeepTheirBytesUntilCleared) {
  Arena arena;
  std::vector<std::pair<std::string_view, std::string>> copies;
  for (size_t size : {size_t{1}, size_t{7}, size_t{0}, size_t{100}, size_t{3} << 20, size_t{13}, size_t{40000}}) {
    std::string text(size, static_cast<char>('a' + size % 26));
    std::string_view copy;
    ASSERT_TRUE(arena.Copy(text, copy));
    ASSERT_EQ(copy, text);
    copies.emplace_back(copy, text);
    auto* table = static_cast<uint64_t*>(arena.Allocate(24));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(table) % alignof(uint64_t), 0u);
    table[0] = table[1] = table[2] = ~uint64_t{0};
  }
  for (const auto& [copy, text] : copies) EXPECT_EQ(copy, text);
  arena.Clear();
  std::string_view again;
  ASSERT_TRUE(arena.Copy("after", again));
  EXPECT_EQ(again, "after");
}

// Keep shares only what lies wholly within the shared text, up to its last
// byte; a text that runs past it, or lies before it, is copied.
TEST(Arena, KeepSharesWhatLiesWithinTheSharedTextAndCopiesTheRest) {
  Arena arena;
  std::string buffer = "0123456789";
  std::string_view whole(buffer);
  std::string_view shared = whole.substr(2, 6);  // "234567"
  std::string_view kept;
  for (std::string_view inside : {shared, shared.substr(0, 1), shared.substr(5), shared.substr(6)}) {
    ASSERT_TRUE(arena.Keep(inside, shared, kept));
    EXPECT_EQ(kept.data(), inside.data());
    EXPECT_EQ(kept.size(), inside.size());
  }
  for (std::string_view outside : {whole.substr(7, 2), whole.substr(1, 2), whole.substr(0, 10)}) {
    ASSERT_TRUE(arena.Keep(outside, shared, kept));
    EXPECT_NE(kept.data(), outside.data());
    EXPECT_EQ(kept, outside);
  }
}

}  // namespace
}  // namespace rssvane
