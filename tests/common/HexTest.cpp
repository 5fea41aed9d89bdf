#include "common/Hex.h"

#include <gtest/gtest.h>

namespace vk {
namespace {

TEST(Hex, BytesToHexIsUpperCaseWithNoSeparators) {
  EXPECT_EQ(BytesToHex({}), "");
  EXPECT_EQ(BytesToHex({0x00, 0x0F, 0xA5, 0xFF}), "000FA5FF");
}

TEST(Hex, HexToBytesReadsPairsInEitherCaseAndALastSingleCharacter) {
  EXPECT_EQ(HexToBytes(""), Bytes{});
  EXPECT_EQ(HexToBytes("000fA5Ff"), (Bytes{0x00, 0x0F, 0xA5, 0xFF}));
  EXPECT_EQ(HexToBytes("ABC"), (Bytes{0xAB, 0x0C}));
  Bytes all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<unsigned char>(i));
  EXPECT_EQ(HexToBytes(BytesToHex(all)), all);
}

TEST(Hex, APairThatIsNotHexGivesTheValueOfItsLeadingDigits) {
  EXPECT_EQ(HexToBytes("1G"), Bytes{0x01});
  EXPECT_EQ(HexToBytes("G1"), Bytes{0x00});
  EXPECT_EQ(HexToBytes(" A"), Bytes{0x0A});
  EXPECT_EQ(HexToBytes("\tF"), Bytes{0x0F});
  EXPECT_EQ(HexToBytes("\n7"), Bytes{0x07});
  EXPECT_EQ(HexToBytes("  "), Bytes{0x00});
  EXPECT_EQ(HexToBytes("\r1"), Bytes{0x00});  // only spaces, tabs and line feeds are skipped
  EXPECT_EQ(HexToBytes("zz10"), (Bytes{0x00, 0x10}));
  EXPECT_EQ(HexToBytes("-1"), Bytes{0x00});
}

}  // namespace
}  // namespace vk
