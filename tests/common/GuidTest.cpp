#include "common/Guid.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

namespace vk {
namespace {

TEST(Guid, RegistryFormWithUpperCaseDigitsAndNoRepeats) {
  const std::regex form("\\{[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\\}");
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    std::string guid = NewGuidText();
    ASSERT_EQ(guid.size(), 38u);
    EXPECT_TRUE(std::regex_match(guid, form)) << guid;
    seen.insert(guid);
  }
  EXPECT_EQ(seen.size(), 200u);
}

}  // namespace
}  // namespace vk
