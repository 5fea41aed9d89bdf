#include "http/Authorization.h"

#include <gtest/gtest.h>

#include "base/Codes.h"

namespace rssvane {
namespace {

constexpr std::string_view kRfcChallenge =
    "Digest realm=\"testrealm@host.com\", qop=\"auth\", nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\", "
    "opaque=\"5ccc069c403ebaf9f0171e9517f40e41\"";

std::string Compute(TAuthScheme scheme, std::string_view user, std::string_view password, DigestChallenge& c,
                    DigestRequest request = {"GET", "/dir/index.html", ""}) {
  std::string value, error;
  EXPECT_EQ(ComputeAuthorization(scheme, user, password, c, request, value, error), 0) << error;
  return value;
}

TEST(Authorization, BasicSendsUserAndColonEvenWithoutPassword) {
  DigestChallenge none;
  EXPECT_EQ(Compute(authBasic, "Aladdin", "open sesame", none), "Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
  EXPECT_EQ(Compute(authBasic, "u", "", none), "Basic dTo=");
  EXPECT_EQ(Compute(authBasic, "", "", none), "");
  EXPECT_EQ(Compute(authDigest, "u", "p", none), "");  // no challenge yet
  std::string value, error;
  EXPECT_EQ(ComputeProxyAuthorization("proxy", "pw", value, error), 0);
  EXPECT_EQ(value, "Basic cHJveHk6cHc=");
  EXPECT_EQ(ComputeProxyAuthorization("proxy", "p\r\nw", value, error), kErrHttp);
  EXPECT_EQ(error, "Invalid ProxyPassword: it holds a control character.");
}

TEST(Authorization, DigestMatchesTheRfc2617ExampleAndCountsNonces) {
  DigestChallenge c;
  std::string error;
  ASSERT_EQ(ReadDigestChallenge(kRfcChallenge, c, error), 0);
  EXPECT_EQ(c.algorithm, "md5");
  EXPECT_EQ(c.nonceCount, 0u);
  c.cnonce = "0a4f113b";
  EXPECT_EQ(Compute(authDigest, "Mufasa", "Circle Of Life", c),
            "Digest username=\"Mufasa\", realm=\"testrealm@host.com\", "
            "nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\", uri=\"/dir/index.html\", algorithm=\"md5\", "
            "qop=\"auth\", nc=\"00000001\", cnonce=\"0a4f113b\", response=\"6629fae49393a05397450978507c4ef1\", "
            "opaque=\"5ccc069c403ebaf9f0171e9517f40e41\"");
  EXPECT_NE(Compute(authDigest, "Mufasa", "Circle Of Life", c).find("nc=\"00000002\""), std::string::npos);
}

TEST(Authorization, DigestVariantsOfAlgorithmAndQop) {
  DigestChallenge c;
  std::string error;
  ASSERT_EQ(ReadDigestChallenge(
                "DIGEST realm=\"testrealm@host.com\",qop=\"auth,auth-int\",algorithm=MD5-sess,"
                "nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\"",
                c, error),
            0);
  EXPECT_EQ(c.qop, "auth-int");
  EXPECT_EQ(c.algorithm, "MD5-sess");
  c.cnonce = "0a4f113b";
  std::string value = Compute(authDigest, "Mufasa", "Circle Of Life", c, {"PUT", "/doc", "<rss/>"});
  EXPECT_NE(value.find("response=\"49149b8fcdb800e8095d7af7d6b48e5b\""), std::string::npos) << value;

  ASSERT_EQ(ReadDigestChallenge("Digest nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\", algorithm=SHA-256", c, error),
            0);
  value = Compute(authDigest, "Mufasa", "Circle Of Life", c, {"GET", "/x", ""});
  EXPECT_NE(value.find("response=\"344431233c949967ce7a21304738984a\""), std::string::npos) << value;
  EXPECT_EQ(value.find("qop="), std::string::npos);

  c.qop = "token";
  EXPECT_EQ(ComputeAuthorization(authDigest, "u", "p", c, {"GET", "/", ""}, value, error), kErrHttp);
  EXPECT_EQ(error, "Digest authentication error: unknown qop value.");
  EXPECT_EQ(value, "");
}

TEST(Authorization, ChallengeReadingKeepsStaleAndTakesTheClientNonceFromTheRandomSource) {
  DigestChallenge c;
  std::string error;
  ASSERT_EQ(ReadDigestChallenge(std::string(kRfcChallenge) + ", stale=TRUE", c, error), 0);
  EXPECT_TRUE(c.stale);
  std::string first = c.cnonce;
  ASSERT_EQ(ReadDigestChallenge(kRfcChallenge, c, error), 0);
  EXPECT_FALSE(c.stale);
  EXPECT_EQ(first.size(), 8u);
  EXPECT_EQ(first.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_NE(first, c.cnonce);

  ASSERT_EQ(ReadDigestChallenge("Basic realm=\"other\"", c, error), 0);
  EXPECT_EQ(c.realm, "testrealm@host.com");

  std::string value;
  EXPECT_EQ(ComputeAuthorization(authDigest, "Mu\nfasa", "x", c, {"GET", "/", ""}, value, error), kErrHttp);
  EXPECT_EQ(error, "Invalid User: it holds a control character.");
}

}  // namespace
}  // namespace rssvane
