#include "base/Base64.h"

#include <gtest/gtest.h>

#include <string>

namespace rssvane {
namespace {

struct Vector {
  const char* plain;
  const char* encoded;
};

// RFC 4648, section 10.
constexpr Vector kRfc4648[] = {
    {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
};

TEST(Base64, EncodesAndDecodesTheRfcVectors) {
  for (const auto& v : kRfc4648) {
    EXPECT_EQ(Base64Encode(v.plain), v.encoded) << v.plain;
    std::string decoded;
    ASSERT_TRUE(Base64Decode(v.encoded, decoded)) << v.encoded;
    EXPECT_EQ(decoded, v.plain);
  }
}

TEST(Base64, RoundTripsEveryByteValueWithTheFullAlphabet) {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  std::string encoded = Base64Encode(bytes);
  EXPECT_NE(encoded.find('+'), std::string::npos);
  EXPECT_NE(encoded.find('/'), std::string::npos);
  EXPECT_EQ(encoded.find('\n'), std::string::npos);
  std::string decoded;
  ASSERT_TRUE(Base64Decode(encoded, decoded));
  EXPECT_EQ(decoded, bytes);
  EXPECT_EQ(Base64Encode("Aladdin:open sesame"), "QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
}

TEST(Base64, RejectsMalformedText) {
  std::string out = "stale";
  EXPECT_FALSE(Base64Decode("Zg=", out));       // length not a multiple of four
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(Base64Decode("Z===", out));      // too much padding
  EXPECT_FALSE(Base64Decode("Zg==Zm8=", out));  // padding before the end
  EXPECT_FALSE(Base64Decode("Zm9-", out));      // outside the alphabet
  EXPECT_FALSE(Base64Decode("Zm=v", out));      // data after padding
}

}  // namespace
}  // namespace rssvane
