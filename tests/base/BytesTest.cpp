#include "base/Bytes.h"

#include <gtest/gtest.h>

#include <string>

namespace rssvane {
namespace {

TEST(Bytes, SameBytesTellsEveryDifferenceAtEveryLength) {
  // Lengths on both sides of each way of comparing (bytes, 4 and 8 at a
  // time, memcmp), a difference at each position, and texts that agree but
  // for their length.
  for (size_t n = 0; n <= 20; ++n) {
    std::string a;
    for (size_t i = 0; i < n; ++i) a += static_cast<char>('a' + i);
    std::string same = a;
    EXPECT_TRUE(SameBytes(a, same)) << n;
    for (size_t i = 0; i < n; ++i) {
      std::string other = a;
      other[i] = '#';
      EXPECT_FALSE(SameBytes(a, other)) << n << " " << i;
    }
    EXPECT_FALSE(SameBytes(a, a + "x")) << n;
  }
}

TEST(Bytes, CopyUpToNulCopiesUpToTheFirstZeroByteWhereverItFalls) {
  std::string text;
  for (size_t i = 0; i < 200; ++i) text += static_cast<char>('a' + i % 26);
  for (size_t at = 0; at <= text.size(); ++at) {
    std::string withNul = text.substr(0, at) + '\0' + text.substr(at);
    std::string to(withNul.size(), '-');
    ASSERT_EQ(CopyUpToNul(to.data(), withNul.data(), withNul.size()), at);
    EXPECT_EQ(to.substr(0, at), text.substr(0, at)) << at;
  }
  std::string to(text.size(), '-');
  EXPECT_EQ(CopyUpToNul(to.data(), text.data(), text.size()), text.size());
  EXPECT_EQ(to, text);
}

}  // namespace
}  // namespace rssvane
