// The firewall negotiator lives in rssvane/net; its tests sit with the other
// protocol readers so the transport's own test program stays about sockets.
#include "net/FirewallNegotiator.h"

#include <gtest/gtest.h>

#include "base/Codes.h"

namespace rssvane {
namespace {

using Outcome = FirewallStep::Outcome;

int ResolveLocal(std::string_view host, std::array<uint8_t, 4>& address) {
  if (host != "example.org") return 11001;
  address = {93, 184, 216, 34};
  return 0;
}

FirewallSettings Settings(TFirewallType type, std::string_view user = "", std::string_view password = "",
                          std::string_view host = "example.org") {
  return {type, host, 8080, user, password, ResolveLocal};
}

std::string Bytes(std::initializer_list<int> bytes) {
  std::string out;
  for (int b : bytes) out += static_cast<char>(b);
  return out;
}

// Everything the negotiator sent, and how it ended, when the replies arrive
// in pieces of `cut` bytes (0: all at once).
struct Exchange {
  std::string sent;
  Outcome outcome = Outcome::kNegotiating;
  std::string text;
  std::string leftover;
};

Exchange Negotiate(const FirewallSettings& settings, std::string_view replies, size_t cut = 0) {
  FirewallNegotiator negotiator;
  Exchange e;
  auto take = [&](FirewallStep step) {
    e.sent += step.send;
    e.outcome = step.outcome;
    e.text = step.errorText;
    e.leftover += step.leftover;
  };
  take(negotiator.Start(settings));
  for (size_t at = 0; at < replies.size() && negotiator.Negotiating();) {
    size_t n = cut == 0 ? replies.size() - at : std::min(cut, replies.size() - at);
    take(negotiator.Data(replies.substr(at, n), false));
    at += n;
    if (!negotiator.Negotiating() && e.outcome == Outcome::kCompleted) e.leftover += replies.substr(at);
  }
  return e;
}

TEST(FirewallNegotiator, RequestsAreExactForEveryType) {
  EXPECT_EQ(Negotiate(Settings(fwTunnel), "").sent, "CONNECT example.org:8080 HTTP/1.0\r\n\r\n");
  EXPECT_EQ(Negotiate(Settings(fwTunnel, "u"), "").sent,
            "CONNECT example.org:8080 HTTP/1.0\r\nProxy-authorization: Basic dTo=\r\n\r\n");
  FirewallSettings proxy = Settings(fwTunnel, "u", "p");
  proxy.proxyAuthorization = "Bearer t";
  EXPECT_EQ(Negotiate(proxy, "").sent, "CONNECT example.org:8080 HTTP/1.0\r\nProxy-authorization: Bearer t\r\n\r\n");
  EXPECT_EQ(Negotiate(Settings(fwSOCKS4), "").sent, Bytes({4, 1, 0x1f, 0x90, 93, 184, 216, 34, 0}));
  EXPECT_EQ(Negotiate(Settings(fwSOCKS4, "ab"), "").sent, Bytes({4, 1, 0x1f, 0x90, 93, 184, 216, 34, 'a', 'b', 0}));
  EXPECT_EQ(Negotiate(Settings(fwSOCKS5, "u"), "").sent, Bytes({5, 1, 0}));
  EXPECT_EQ(Negotiate(Settings(fwSOCKS5, "u", "p"), "").sent, Bytes({5, 2, 0, 2}));
  EXPECT_EQ(FirewallNegotiator().Start(Settings(fwNone)).outcome, Outcome::kCompleted);
}

TEST(FirewallNegotiator, RepliesGiveTheSameResultHoweverTheyAreCut) {
  std::string stream = "HTTP/1.1 200 OK\r\n";
  std::string socks5Auth = Bytes({5, 2, 1, 0, 5, 0, 0, 3, 4, 'h', 'o', 's', 't', 0, 80}) + stream;
  std::string socks5AuthSent = Bytes({5, 2, 0, 2, 1, 1, 'u', 1, 'p', 5, 1, 0, 3, 8}) + "a.b.test" + Bytes({0x1f, 0x90});
  const struct {
    FirewallSettings settings;
    std::string replies;
    std::string sent;
  } cases[] = {
      {Settings(fwTunnel), "HTTP/1.0 200 Connection established\r\nX: y\r\n\r\n" + stream,
       "CONNECT example.org:8080 HTTP/1.0\r\n\r\n"},
      {Settings(fwTunnel), "HTTP/1.0 200 OK\n\n" + stream, "CONNECT example.org:8080 HTTP/1.0\r\n\r\n"},
      {Settings(fwSOCKS4), Bytes({0, 90, 0, 0, 0, 0, 0, 0}) + stream, Bytes({4, 1, 0x1f, 0x90, 93, 184, 216, 34, 0})},
      {Settings(fwSOCKS5, "u", "p", "*a.b.test"), socks5Auth, socks5AuthSent},
      {Settings(fwSOCKS5), Bytes({5, 0, 5, 0, 0, 4}) + std::string(16, '\0') + Bytes({0, 80}) + stream,
       Bytes({5, 1, 0, 5, 1, 0, 1, 93, 184, 216, 34, 0x1f, 0x90})},
  };
  for (const auto& c : cases) {
    for (size_t cut : {0, 1, 2, 3, 7}) {
      Exchange e = Negotiate(c.settings, c.replies, cut);
      EXPECT_EQ(e.outcome, Outcome::kCompleted) << cut << " " << e.text;
      EXPECT_EQ(e.sent, c.sent) << cut;
      EXPECT_EQ(e.leftover, stream) << cut;
    }
  }
}

TEST(FirewallNegotiator, EveryRefusalHasItsText) {
  const char* socks4Texts[] = {"firewall request rejected or failed",
                               "firewall request rejected because identd is not available",
                               "firewall request rejected because identd reports different user",
                               "unknown firewall error: -56"};
  for (int code : {91, 92, 93, 200}) {
    EXPECT_EQ(Negotiate(Settings(fwSOCKS4), Bytes({0, code})).text, socks4Texts[code == 200 ? 3 : code - 91]);
  }
  const char* socks5Texts[] = {"general SOCKS server failure", "connection not allowed by ruleset",
                               "network unreachable", "host unreachable", "connection refused", "TTL expired",
                               "command not supported", "address type not supported", "unknown firewall error: 9"};
  for (int code = 1; code <= 9; ++code) {
    EXPECT_EQ(Negotiate(Settings(fwSOCKS5), Bytes({5, 0, 5, code})).text, socks5Texts[code - 1]);
  }
  EXPECT_EQ(Negotiate(Settings(fwSOCKS5), Bytes({5, 255})).text, "no acceptable firewall authentication methods");
  EXPECT_EQ(Negotiate(Settings(fwSOCKS5), Bytes({5, 1})).text, "unknown firewall authentication method");
  EXPECT_EQ(Negotiate(Settings(fwSOCKS5, "u", "p"), Bytes({5, 2, 1, 7})).text, "firewall authentication failed: 7");
  EXPECT_EQ(Negotiate(Settings(fwSOCKS5), Bytes({5, 0, 5, 0, 0, 9, 0})).text,
            "unknown address type in the firewall reply: 9");

  FirewallNegotiator tunnel;
  tunnel.Start(Settings(fwTunnel));
  EXPECT_EQ(tunnel.Data("HTTP/1.0 407 Proxy Authentication Required\r\n", false).outcome, Outcome::kNegotiating);
  FirewallStep refused = tunnel.Data("Proxy-Authenticate: Basic\r\n\r\n<html>", false);
  EXPECT_EQ(refused.code, kErrFirewall);
  EXPECT_EQ(refused.errorText, "HTTP/1.0 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic");
  EXPECT_EQ(Negotiate(Settings(fwTunnel), "X\n\n").text, "X");
}

TEST(FirewallNegotiator, WhatAFieldCannotCarryIsRefusedBeforeSending) {
  std::string longText(256, 'n');
  std::string longName = "*" + longText;
  const std::pair<FirewallSettings, std::string_view> cases[] = {
      {Settings(fwSOCKS5, longText, "p"), "FirewallUser or FirewallPassword is longer than 255 bytes"},
      {Settings(fwSOCKS5, "u", longText), "FirewallUser or FirewallPassword is longer than 255 bytes"},
      {Settings(fwSOCKS5, "", "", longName), "the RemoteHost name is longer than 255 bytes"},
      {Settings(fwSOCKS4, std::string_view("a\0b", 3)), "FirewallUser holds a zero byte"},
      {Settings(fwTunnel, "", "", "h:1 HTTP/1.0\r\nX: y"),
       "RemoteHost or the proxy authorization holds a control character"},
      {{fwTunnel, "h", 1, "", "", ResolveLocal, "Basic x\r\nX: y"},
       "RemoteHost or the proxy authorization holds a control character"},
  };
  for (const auto& [settings, text] : cases) {
    FirewallStep step = FirewallNegotiator().Start(settings);
    EXPECT_EQ(step.outcome, Outcome::kFailed);
    EXPECT_EQ(step.send, "");
    EXPECT_EQ(step.errorText, "firewall request not sent: " + std::string(text));
  }
  FirewallSettings badPort = Settings(fwSOCKS4);
  badPort.remotePort = 70000;
  EXPECT_EQ(FirewallNegotiator().Start(badPort).errorText, "The RemotePort is invalid (70000).");
  EXPECT_EQ(FirewallNegotiator().Start(Settings(fwSOCKS4, "", "", "nowhere")).errorText,
            "cannot resolve RemoteHost: [11001] Host not found");
  Exchange unresolved = Negotiate(Settings(fwSOCKS5, "", "", "nowhere"), Bytes({5, 0}));
  EXPECT_EQ(unresolved.sent, Bytes({5, 1, 0}));
  EXPECT_EQ(unresolved.text, "cannot resolve RemoteHost: [11001] Host not found");
}

TEST(FirewallNegotiator, ProxiesThatNeverFinishOrCloseEarlyFail) {
  FirewallNegotiator endless;
  endless.Start(Settings(fwTunnel));
  FirewallStep step;
  for (int i = 0; i < 100 && endless.Negotiating(); ++i) step = endless.Data("HTTP/1.0 200 OK\r\n" + std::string(1000, 'x'), false);
  EXPECT_EQ(step.outcome, Outcome::kFailed);
  EXPECT_EQ(step.errorText, "firewall reply too long: no end of its header block within 16384 bytes");

  FirewallNegotiator closed;
  closed.Start(Settings(fwSOCKS5));
  closed.Data(Bytes({5}), false);
  step = closed.Closed();
  EXPECT_EQ(step.code, kErrFirewall);
  EXPECT_EQ(step.errorText, "The firewall closed the connection during negotiation.");
}

}  // namespace
}  // namespace rssvane
