#include "http/Url.h"

#include <gtest/gtest.h>

#include "base/Codes.h"

namespace rssvane {
namespace {

TEST(Url, ParsingKeepsTheComponentsOwnRules) {
  struct Case {
    std::string_view text, scheme, host;
    int32_t port;
    std::string_view path, user, password;
  };
  const Case cases[] = {
      {"http://example.com:8080/feed?x=1", "http", "example.com", 8080, "/feed?x=1", "", ""},
      {"HTTPS://h", "HTTPS", "h", 443, "/", "", ""},
      {"ftp://h/x", "ftp", "h", 81, "/x", "", ""},
      {"http://u:p:q@h/", "http", "h", 80, "/", "u", "p:q"},
      {"http://u@h:82", "http", "h", 82, "/", "u", ""},
      {"http://h?q=/x", "http", "h?q=", 80, "/x", "", ""},
      {"http://h?q=1", "http", "h", 80, "?q=1", "", ""},
      {"host:8080/x", "host", "", 81, "/8080/x", "", ""},
      {"/only/path", "start", "", 81, "/only/path", "", ""},
      {"relative", "start", "", 81, "/relative", "", ""},
      {"http://h:", "http", "h", 0, "/", "", ""},
  };
  for (const Case& c : cases) {
    UrlParts parts;
    std::string error;
    ASSERT_EQ(ParseUrl(c.text, "start", 81, parts, error), 0) << c.text;
    EXPECT_EQ(parts.scheme, c.scheme) << c.text;
    EXPECT_EQ(parts.host, c.host) << c.text;
    EXPECT_EQ(parts.port, c.port) << c.text;
    EXPECT_EQ(parts.path, c.path) << c.text;
    EXPECT_EQ(parts.user, c.user) << c.text;
    EXPECT_EQ(parts.password, c.password) << c.text;
  }
}

TEST(Url, ControlBytesAndPortsOutOfRangeAreRefused) {
  UrlParts parts;
  std::string error;
  EXPECT_EQ(ParseUrl("http://h/x\r\nX-Injected: 1", "http", 80, parts, error), kErrHttp);
  EXPECT_EQ(error, "Invalid URL: it holds a control character.");
  EXPECT_EQ(ParseUrl(std::string_view("http://h/\0", 10), "http", 80, parts, error), kErrHttp);
  for (std::string_view url : {"http://h:65536/", "http://h:-1/", "http://h:99999999999999999999/"}) {
    EXPECT_EQ(ParseUrl(url, "http", 80, parts, error), kErrHttp) << url;
    EXPECT_EQ(error, "Invalid URL: the port is not a number from 0 to 65535.");
  }
}

TEST(Url, SettingKeepsTheServerAndCredentialsOnlyWhereTheyBelong) {
  UrlTarget target;
  bool disconnect = false;
  std::string error;
  ASSERT_EQ(target.Set("http://u:p@a:8080/x", false, frAlways, disconnect, error), 0);
  EXPECT_TRUE(disconnect);
  EXPECT_EQ(target.User(), "u");

  // Same server: frAlways keeps the credentials, an empty port keeps 8080.
  ASSERT_EQ(target.Set("http://a:/y", true, frAlways, disconnect, error), 0);
  EXPECT_FALSE(disconnect);
  EXPECT_EQ(target.Port(), 8080);
  EXPECT_EQ(target.Path(), "/y");
  EXPECT_EQ(target.Password(), "p");
  ASSERT_EQ(target.Set("/z", true, frAlways, disconnect, error), 0);
  EXPECT_EQ(target.Host(), "a");
  EXPECT_EQ(target.User(), "u");

  EXPECT_EQ(target.Set("/z", true, frAlways, disconnect, error), kErrHttp);
  EXPECT_TRUE(disconnect);
  EXPECT_EQ(error, "Attempting to redirect to identical URL.  Aborting connection.");

  // Another server never gets them, even under frAlways.
  ASSERT_EQ(target.Set("http://b:8080/", true, frAlways, disconnect, error), 0);
  EXPECT_TRUE(disconnect);
  EXPECT_EQ(target.User(), "");
  EXPECT_EQ(target.Password(), "");

  target.SetUser("v");
  ASSERT_EQ(target.Set("/w", true, frSameScheme, disconnect, error), 0);
  EXPECT_EQ(target.User(), "");

  ASSERT_EQ(target.Set("", false, frNever, disconnect, error), 0);
  EXPECT_EQ(target.Host(), "");
  EXPECT_EQ(target.Scheme(), "http");
  EXPECT_EQ(target.Port(), 80);
}

}  // namespace
}  // namespace rssvane
