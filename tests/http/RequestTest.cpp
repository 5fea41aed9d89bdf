#include "http/Request.h"

#include <gtest/gtest.h>

#include "base/Codes.h"

namespace rssvane {
namespace {

RequestFields Direct() {
  RequestFields f;
  f.verb = "GET";
  f.scheme = "http";
  f.host = "example.com";
  f.port = 8080;
  f.path = "/feed?x=1";
  f.httpVersion = "1.1";
  f.userAgent = "Kestrix HTTP/S Control";
  return f;
}

TEST(Request, TextIsExactInTheDirectAndTheProxyForm) {
  std::string out, error;
  RequestFields f = Direct();
  f.proxyAuthorization = "Basic cHJveHk6cHc=";  // not for the server itself
  ASSERT_EQ(BuildRequest(f, true, out, error), 0);
  EXPECT_EQ(out,
            "GET /feed?x=1 HTTP/1.1\r\nHost: example.com:8080\r\nUser-Agent: Kestrix HTTP/S Control\r\n"
            "Connection: close\r\n\r\n");

  f = Direct();
  f.verb = "PUT";
  f.scheme = "ftp";
  f.port = 80;
  f.viaProxy = true;
  f.keepAlive = true;
  f.httpVersion = "1.0";
  f.authorization = "Basic dTo=";
  f.proxyAuthorization = "Basic cHJveHk6cHc=";
  f.accept = "*/*";
  f.userAgent = "";
  f.ifModifiedSince = "Sat, 29 Oct 1994 19:43:31 GMT";
  ASSERT_EQ(BuildRequest(f, false, out, error), 0);
  EXPECT_EQ(out + ContentLengthBlock(0),
            "PUT ftp://example.com/feed?x=1 HTTP/1.0\r\nHost: example.com\r\nAuthorization: Basic dTo=\r\n"
            "Proxy-Authorization: Basic cHJveHk6cHc=\r\nAccept: */*\r\n"
            "If-Modified-Since: Sat, 29 Oct 1994 19:43:31 GMT\r\nContent-Length: 0\r\n\r\n");
}

TEST(Request, HttpsLeavesOutItsOwnPortAndTheNewHeadersComeOnlyWhenSet) {
  std::string out, error;
  RequestFields f = Direct();
  f.scheme = "https";
  f.port = 443;
  f.acceptEncoding = "gzip, deflate";
  f.ifNoneMatch = "\"abc\"";
  f.ifModifiedSince = "Sat, 29 Oct 1994 19:43:31 GMT";
  ASSERT_EQ(BuildRequest(f, true, out, error), 0);
  EXPECT_EQ(out,
            "GET /feed?x=1 HTTP/1.1\r\nHost: example.com\r\nAccept-Encoding: gzip, deflate\r\n"
            "User-Agent: Kestrix HTTP/S Control\r\nIf-Modified-Since: Sat, 29 Oct 1994 19:43:31 GMT\r\n"
            "If-None-Match: \"abc\"\r\nConnection: close\r\n\r\n");
  f.port = 80;
  ASSERT_EQ(BuildRequest(f, true, out, error), 0);
  EXPECT_TRUE(out.starts_with("GET /feed?x=1 HTTP/1.1\r\nHost: example.com:80\r\n")) << out;
}

TEST(Request, NoFieldCanSplitTheRequest) {
  const std::pair<std::string_view RequestFields::*, std::string_view> fields[] = {
      {&RequestFields::host, "URL"},
      {&RequestFields::path, "URL"},
      {&RequestFields::httpVersion, "HTTPVersion"},
      {&RequestFields::authorization, "Authorization value"},
      {&RequestFields::accept, "Accept"},
      {&RequestFields::userAgent, "UserAgent"},
      {&RequestFields::ifModifiedSince, "IfModifiedSince"},
      {&RequestFields::acceptEncoding, "AcceptEncoding"},
      {&RequestFields::ifNoneMatch, "IfNoneMatch"},
  };
  for (const auto& [member, what] : fields) {
    for (std::string_view bad : {"x\r\nX-Injected: 1", "x\ny", "x\ty", "x\x7fy"}) {
      RequestFields f = Direct();
      f.*member = bad;
      std::string out = "stale", error;
      EXPECT_EQ(BuildRequest(f, true, out, error), kErrHttp) << what;
      EXPECT_EQ(error, "Invalid " + std::string(what) + ": it holds a control character.");
      EXPECT_EQ(out, "");
    }
  }
}

}  // namespace
}  // namespace rssvane
