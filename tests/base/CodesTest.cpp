#include "base/Codes.h"

#include <gtest/gtest.h>

namespace rssvane {
namespace {

TEST(Codes, EngineCodesBecomeHostErrorNumbers) {
  EXPECT_EQ(HResultForCode(232), 0x800A0000u + 20233);
  EXPECT_EQ(ErrorNumberOf(HResultForCode(232)), 20233);
  EXPECT_EQ(ErrorNumberOf(HResultForCode(-1)), 20000);
  EXPECT_EQ(ErrorNumberOf(HResultForCode(10061)), 25062);
  EXPECT_EQ(ErrorNumberOf(HResultForCode(10000)), 30001);
  EXPECT_EQ(HResultForCode(200), kHrOutOfMemory);
  EXPECT_EQ(ErrorNumberOf(kHrOutOfMemory), 7);
  EXPECT_EQ(ErrorNumberOf(kHrInvalidArrayIndex), 381);
}

TEST(Codes, DescriptionsPreferTheEngineTextThenTheTables) {
  EXPECT_EQ(DescriptionForCode(232, "Invalid item index."), "Invalid item index.");
  EXPECT_EQ(DescriptionForCode(200, "ignored"), "Out of memory.");
  EXPECT_EQ(DescriptionForCode(301, ""), "Interrupted.");
  EXPECT_EQ(DescriptionForCode(234, ""), "[234] (no description available)");
  EXPECT_EQ(DescriptionForCode(11001, ""), "[11001] Host not found");
  EXPECT_EQ(DescriptionForCode(10066, ""), "[10066] Directory not empt");
  EXPECT_EQ(DescriptionForCode(12345, ""), "[12345] (no description available)");
  AutomationFailure f = FailureForCode(202, "Unbalanced element tag.");
  EXPECT_EQ(f.number, 20203);
  EXPECT_EQ(f.description, "Unbalanced element tag.");
}

}  // namespace
}  // namespace rssvane
