#include "http/Cookie.h"

#include <gtest/gtest.h>

namespace rssvane {
namespace {

TEST(Cookie, AttributesAreCutByTheComponentsRules) {
  Cookie c = ReadSetCookie("id=a b; Secure; EXPIRES=Wed, 21 Oct 2015 07:28:00 GMT; domain=.x.org;  Path=/p");
  EXPECT_EQ(c.name, "id");
  EXPECT_EQ(c.value, "a b");
  EXPECT_TRUE(c.secure);
  EXPECT_EQ(c.expires, "Wed, 21 Oct 2015 07:28:00 GMT");
  EXPECT_EQ(c.domain, ".x.org");
  EXPECT_EQ(c.path, "");  // only one blank is skipped after an attribute's ";"

  c = ReadSetCookie("bare");
  EXPECT_EQ(c.name, "bare");
  EXPECT_EQ(c.value, "");
  EXPECT_FALSE(c.secure);
  c = ReadSetCookie("k=v;\t \tpath=/");
  EXPECT_EQ(c.path, "/");
}

}  // namespace
}  // namespace rssvane
