// The firewall tunnel against the proxies people run: tinyproxy (CONNECT),
// dante (SOCKS4 and SOCKS5) and microsocks (SOCKS5 with a password), each
// started on 127.0.0.1 by its fixture, carrying a plain HTTP/1.0 exchange
// with nginx byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Nginx.h"
#include "NetTestSupport.h"
#include "Proxies.h"
#include "base/Codes.h"
#include "net/NetCodes.h"

namespace rssvane {
namespace {

using Lines = std::vector<std::string>;
using vk::test::Account;
using vk::test::Dante;
using vk::test::Microsocks;
using vk::test::Nginx;
using vk::test::Tinyproxy;

// A connection that keeps every byte it receives.
class Fetcher : public TcpConnection {
 public:
  explicit Fetcher(EventLog& log) { SetEvents(&log); }
  std::string received;

 protected:
  void DataIn(std::string_view bytes, bool) override { received += bytes; }
};

// Every byte value, in an order that repeats only after the line buffer's
// size many times over.
std::string Document() {
  std::string document;
  uint32_t x = 12345;
  for (int i = 0; i < 150000; ++i) {
    x = x * 1103515245 + 12345;
    document += static_cast<char>(x >> 16);
  }
  return document;
}

class ThroughProxies : public testing::Test {
 protected:
  ThroughProxies() { origin_.WriteDocument("doc.bin", document_); }

  // GET /doc.bin through the firewall set on c; the events up to the end of
  // the answer, and the document that came with it.
  struct Fetched {
    Lines events;
    std::string body;
  };

  Fetched Get(TFirewallType type, int firewallPort, std::string_view remoteHost, std::string_view user = "",
              std::string_view password = "") {
    EventLog log;
    Fetcher c(log);
    c.SetLineTerminator("");
    Through(c, type, static_cast<uint16_t>(firewallPort), remoteHost, origin_.Port(), user, password);
    EXPECT_EQ(c.Connect(), 0);
    EXPECT_TRUE(PumpUntil([&] { return ConnectReported(log); }));
    if (c.Connected()) {
      const std::string request = "GET /doc.bin HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
      EXPECT_EQ(c.SendAll(request.data(), request.size()), 0) << c.LastErrorText();
    }
    // A failed negotiation has closed the connection by now.
    EXPECT_TRUE(PumpUntil([&] { return c.SocketHandle() == kInvalidSocket; }));
    Fetched fetched{log.lines, {}};
    const size_t head = c.received.find("\r\n\r\n");
    if (c.received.starts_with("HTTP/1.1 200 OK\r\n") && head != std::string::npos) {
      fetched.body = c.received.substr(head + 4);
    }
    return fetched;
  }

  const std::string document_ = Document();
  Nginx origin_;
};

const Lines kFetched = {"ConnectionStatus Firewall connection complete. 0 OK",
                        "ConnectionStatus Remote host connection complete. 0 OK",
                        "Connected 0 OK",
                        "ConnectionStatus Firewall host disconnected. 0 OK",
                        "ConnectionStatus Remote host disconnected. 0 OK",
                        "Disconnected 0 OK"};

// The events of a negotiation that failed with text.
Lines Refused(const std::string& text) {
  return {"ConnectionStatus Firewall connection complete. 0 OK",
          "Error 118 " + text,
          "Connected 118 " + text,
          "ConnectionStatus Firewall host disconnected. 0 OK",
          "ConnectionStatus Remote host disconnected. 0 OK",
          "Disconnected 0 OK"};
}

TEST_F(ThroughProxies, TinyproxyTunnelsWithAndWithoutBasicAuthentication) {
  Tinyproxy open;
  Fetched fetched = Get(fwTunnel, open.Port(), "127.0.0.1");
  EXPECT_EQ(fetched.events, kFetched) << open.Log();
  EXPECT_TRUE(fetched.body == document_) << fetched.body.size() << " bytes";

  Tinyproxy guarded({.basicAuth = Account{"carol", "tunnel"}});
  fetched = Get(fwTunnel, guarded.Port(), "localhost", "carol", "tunnel");
  EXPECT_EQ(fetched.events, kFetched) << guarded.Log();
  EXPECT_TRUE(fetched.body == document_) << fetched.body.size() << " bytes";
  const std::string target = std::to_string(origin_.Port()) + " HTTP/1.0";
  EXPECT_EQ(guarded.Requests(), (std::vector<std::string>{"CONNECT localhost:" + target}));

  // Without credentials 407; with wrong ones tinyproxy says 401. The text
  // is the proxy's header block, without the page that follows it.
  const struct {
    const char* user;
    const char* password;
    const char* status;
  } refusals[] = {{"", "", "407 Proxy Authentication Required"}, {"carol", "wrong", "401 Unauthorized"}};
  for (auto [user, password, status] : refusals) {
    Lines events = Get(fwTunnel, guarded.Port(), "localhost", user, password).events;
    ASSERT_EQ(events.size(), 6u);
    const std::string text = events[1].substr(events[1].find("HTTP/"));
    EXPECT_TRUE(text.starts_with("HTTP/1.0 " + std::string(status) + "\r\n")) << text;
    EXPECT_TRUE(text.ends_with("\r\nConnection: close")) << text;
    EXPECT_EQ(events, Refused(text));
  }
}

TEST_F(ThroughProxies, DanteCarriesSocks4AndSocks5) {
  Dante dante;
  for (auto [type, host] : {std::pair{fwSOCKS4, "127.0.0.1"}, std::pair{fwSOCKS5, "127.0.0.1"},
                            std::pair{fwSOCKS5, "*localhost"}}) {
    SCOPED_TRACE(host);
    Fetched fetched = Get(type, dante.Port(), host);
    EXPECT_EQ(fetched.events, kFetched) << dante.Log();
    EXPECT_TRUE(fetched.body == document_) << fetched.body.size() << " bytes";
  }
  EXPECT_EQ(origin_.WaitForAccessLog(3).size(), 3u);
}

TEST_F(ThroughProxies, MicrosocksTakesTheRightPasswordOnly) {
  Microsocks socks({"dave", "s0cks"});
  Fetched fetched = Get(fwSOCKS5, socks.Port(), "127.0.0.1", "dave", "s0cks");
  EXPECT_EQ(fetched.events, kFetched) << socks.Log();
  EXPECT_TRUE(fetched.body == document_) << fetched.body.size() << " bytes";

  EXPECT_EQ(Get(fwSOCKS5, socks.Port(), "127.0.0.1", "dave", "wrong").events,
            Refused("firewall authentication failed: 2"));
  // Offering no password leaves it no method it accepts.
  EXPECT_EQ(Get(fwSOCKS5, socks.Port(), "127.0.0.1", "dave").events,
            Refused("no acceptable firewall authentication methods"));
}

TEST_F(ThroughProxies, AFirewallPortWhereNothingListensFailsTheConnection) {
  ClosedPort closed;
  EXPECT_EQ(Get(fwSOCKS5, closed.Port(), "127.0.0.1").events,
            (Lines{"ConnectionStatus Firewall connection failed. 10061 [10061] Connection refused",
                   "Connected 10061 [10061] Connection refused"}));
}

}  // namespace
}  // namespace rssvane
