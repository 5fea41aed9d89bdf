#include "base/UriReference.h"

#include <gtest/gtest.h>

namespace rssvane {
namespace {

TEST(UriReference, ResolvesTheExamplesOfRfc3986) {
  // Section 5.4, normal and abnormal examples.
  const char* base = "http://a/b/c/d;p?q";
  const std::pair<const char*, const char*> cases[] = {
      {"g:h", "g:h"},
      {"g", "http://a/b/c/g"},
      {"./g", "http://a/b/c/g"},
      {"g/", "http://a/b/c/g/"},
      {"/g", "http://a/g"},
      {"//g", "http://g"},
      {"?y", "http://a/b/c/d;p?y"},
      {"g?y", "http://a/b/c/g?y"},
      {"#s", "http://a/b/c/d;p?q#s"},
      {"g#s", "http://a/b/c/g#s"},
      {";x", "http://a/b/c/;x"},
      {"", "http://a/b/c/d;p?q"},
      {".", "http://a/b/c/"},
      {"./", "http://a/b/c/"},
      {"..", "http://a/b/"},
      {"../g", "http://a/b/g"},
      {"../..", "http://a/"},
      {"../../g", "http://a/g"},
      {"../../../g", "http://a/g"},
      {"/./g", "http://a/g"},
      {"/../g", "http://a/g"},
      {"g.", "http://a/b/c/g."},
      {"..g", "http://a/b/c/..g"},
      {"./../g", "http://a/b/g"},
      {"g/./h", "http://a/b/c/g/h"},
      {"g/../h", "http://a/b/c/h"},
      {"g;x=1/../y", "http://a/b/c/y"},
      {"g?y/./x", "http://a/b/c/g?y/./x"},
      {"g#s/../x", "http://a/b/c/g#s/../x"},
      {"http:g", "http:g"},
  };
  for (const auto& [reference, expected] : cases)
    EXPECT_EQ(ResolveUriReference(base, reference), expected) << reference;
}

TEST(UriReference, BasesWithoutAPathOrAnAddress) {
  EXPECT_EQ(ResolveUriReference("http://h", "x"), "http://h/x");
  EXPECT_EQ(ResolveUriReference("http://h?q", "?r"), "http://h?r");
  // A relative xml:base in a document read from a file, and no base at all.
  EXPECT_EQ(ResolveUriReference("/feeds/", "a/b"), "/feeds/a/b");
  EXPECT_EQ(ResolveUriReference("", "../a"), "../a");
  // A colon after a digit or past the first "/" starts no scheme.
  EXPECT_EQ(ResolveUriReference("http://h/d/", "2024:report"), "http://h/d/2024:report");
  EXPECT_EQ(ResolveUriReference("http://h/d/", "a/b:c"), "http://h/d/a/b:c");
}

}  // namespace
}  // namespace rssvane
