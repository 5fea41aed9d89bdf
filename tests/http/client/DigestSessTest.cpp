// MD5-sess, which the Apache of the system's package refuses, checked by a
// scripted server that verifies the client's answer with a computation of
// its own: RFC 2617 written out again over OpenSSL's MD5, sharing nothing
// with the client's code.
#include <openssl/evp.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

#include "HttpTestSupport.h"
#include "ScriptedServer.h"
#include "base/Codes.h"

namespace rssvane {
namespace {

using ::testing::MatchesRegex;
using vk_test::ScriptedServer;
using Script = ScriptedServer::Script;
using Parameters = std::map<std::string, std::string>;

std::string Md5Hex(const std::string& text) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr);
  std::string hex;
  char two[3];
  for (unsigned int i = 0; i < length; ++i) {
    std::snprintf(two, sizeof two, "%02x", digest[i]);
    hex += two;
  }
  return hex;
}

// RFC 2617, 3.2.2.1 to 3.2.2.3, for qop "auth".
std::string ExpectedResponse(const Parameters& p, const std::string& password, const std::string& method) {
  std::string ha1 = Md5Hex(p.at("username") + ":" + p.at("realm") + ":" + password);
  if (p.at("algorithm") == "MD5-sess") ha1 = Md5Hex(ha1 + ":" + p.at("nonce") + ":" + p.at("cnonce"));
  std::string ha2 = Md5Hex(method + ":" + p.at("uri"));
  return Md5Hex(ha1 + ":" + p.at("nonce") + ":" + p.at("nc") + ":" + p.at("cnonce") + ":" + p.at("qop") + ":" + ha2);
}

// The parameters of a request's Digest Authorization header, quotes removed.
Parameters AuthorizationOf(const std::string& request) {
  Parameters p;
  size_t at = request.find("\r\nAuthorization: Digest ");
  if (at == std::string::npos) return p;
  std::string value = request.substr(at + 24, request.find("\r\n", at + 2) - at - 24);
  for (size_t i = 0; i < value.size();) {
    size_t equals = value.find('=', i);
    if (equals == std::string::npos) break;
    std::string name = value.substr(i, equals - i);
    size_t end = value[equals + 1] == '"' ? value.find('"', equals + 2) : value.find(',', equals + 1);
    bool quoted = value[equals + 1] == '"';
    p[name] = value.substr(equals + 1 + quoted, end - equals - 1 - quoted);
    i = value.find_first_not_of(", ", end + quoted);
  }
  return p;
}

TEST(DigestSess, TheTestsOwnComputationGivesTheRfc2617Example) {
  Parameters rfc{{"username", "Mufasa"}, {"realm", "testrealm@host.com"},
                 {"nonce", "dcd98b7102dd2f0e8b11d0f600bfb0c093"}, {"uri", "/dir/index.html"},
                 {"algorithm", "MD5"}, {"qop", "auth"}, {"nc", "00000001"}, {"cnonce", "0a4f113b"}};
  EXPECT_EQ(ExpectedResponse(rfc, "Circle Of Life", "GET"), "6629fae49393a05397450978507c4ef1");
}

TEST(DigestSess, AServerThatVerifiesMd5SessAcceptsTheClientsAnswer) {
  const std::string challenge =
      "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Digest realm=\"sess-test\", qop=\"auth\", "
      "algorithm=MD5-sess, nonce=\"5f2a9c0e71b34d8a\", opaque=\"a0b1c2\"\r\nContent-Length: 0\r\n\r\n";
  // A request without credentials is challenged; one with them gets the
  // document only when its answer is right.
  auto serve = [challenge](const std::string& request) -> std::string {
    Parameters p = AuthorizationOf(request);
    if (p.empty()) return challenge;
    bool valid = p.count("response") && p.count("cnonce") && p.count("nc") && p["algorithm"] == "MD5-sess" &&
                 p["nonce"] == "5f2a9c0e71b34d8a" && p["opaque"] == "a0b1c2" &&
                 p["response"] == ExpectedResponse(p, "wonderland", "GET");
    return valid ? "HTTP/1.1 200 OK\r\nContent-Length: 7\r\n\r\nwelcome"
                 : "HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n";
  };
  ScriptedServer server({Script().Answer(serve, 5000)});
  TestClient client;
  client.SetAuthScheme(authDigest);
  ASSERT_EQ(client.SetUser("alice"), 0);
  ASSERT_EQ(client.SetPassword("wonderland"), 0);
  const std::string url = "http://127.0.0.1:" + Port(server.Port()) + "/feed.xml";
  ASSERT_EQ(client.Get(url), 0) << client.LastErrorText();
  EXPECT_EQ(client.TransferredData(), "welcome");
  ASSERT_TRUE(server.WaitFinished(2, 5000));
  Parameters seen = AuthorizationOf(server.Received(1));
  EXPECT_EQ(seen["uri"], "/feed.xml");
  EXPECT_EQ(seen["nc"], "00000001");
  EXPECT_THAT(seen["cnonce"], MatchesRegex("[0-9a-f]{8}"));

  ASSERT_EQ(client.SetPassword("wrong"), 0);
  EXPECT_EQ(client.Get(url), kErrHttp);
  EXPECT_EQ(client.LastErrorText(), "Forbidden");
  EXPECT_EQ(server.Connections(), 4);
}

}  // namespace
}  // namespace rssvane
