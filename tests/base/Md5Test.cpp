#include "base/Md5.h"

#include <gtest/gtest.h>

#include <string>

namespace rssvane {
namespace {

TEST(Md5, MatchesTheRfc1321TestSuite) {
  EXPECT_EQ(Md5::Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5::Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(Md5::Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Md5::Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(Md5::Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
  EXPECT_EQ(Md5::Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  EXPECT_EQ(Md5::Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
            "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, PiecewiseUpdatesGiveTheSameDigestAcrossBlockBoundaries) {
  std::string text(1000, '\0');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>(i * 7);
  std::string whole = Md5::Hex(text);
  for (size_t piece : {1u, 55u, 56u, 63u, 64u, 65u, 333u}) {
    Md5 md5;
    for (size_t at = 0; at < text.size(); at += piece) md5.Update(std::string_view(text).substr(at, piece));
    auto digest = md5.Final();
    char hex[33];
    for (size_t i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
    EXPECT_EQ(whole, hex) << piece;
  }
}

}  // namespace
}  // namespace rssvane
