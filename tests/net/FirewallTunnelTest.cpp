// The firewall tunnel inside a TcpConnection, against scripted firewalls on
// 127.0.0.1 that answer with exact bytes, in pieces, late or not at all.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "NetTestSupport.h"
#include "ScriptedServer.h"
#include "base/Codes.h"
#include "net/NetCodes.h"

namespace rssvane {
namespace {

using vk_test::Bytes;
using vk_test::ScriptedServer;
using Lines = std::vector<std::string>;

// One request the firewall waits for and its answer.
struct Exchange {
  std::string request;
  std::string reply;
};

enum class Delivery {
  kJoined,     // each reply in one piece, the last one with the stream's first bytes
  kByteWise,   // every byte of every reply on its own, the stream after a pause
  kPipelined,  // every reply at once, with the stream, after the first request
};

ScriptedServer::Script Firewall(const std::vector<Exchange>& exchanges, const std::string& stream, Delivery delivery) {
  ScriptedServer::Script script;
  if (delivery == Delivery::kPipelined) {
    std::string replies;
    size_t later = 0;
    for (const Exchange& e : exchanges) {
      replies += e.reply;
      later += e.request.size();
    }
    later -= exchanges[0].request.size();
    script.Receive(exchanges[0].request.size(), 2000).Send(replies + stream);
    if (later > 0) script.Receive(later, 2000);
    return script.ReceiveUntilClosed(10000);
  }
  for (size_t i = 0; i < exchanges.size(); ++i) {
    const bool last = i + 1 == exchanges.size();
    script.Receive(exchanges[i].request.size(), 2000);
    if (delivery == Delivery::kJoined) {
      script.Send(exchanges[i].reply + (last ? stream : ""));
      continue;
    }
    for (char c : exchanges[i].reply) script.Send(std::string(1, c)).Pause(3);
    if (last) script.Pause(30).Send(stream);
  }
  // Open until the client closes, longer than the client waits: nothing but
  // the tunnel itself makes the stream's first bytes go up.
  return script.ReceiveUntilClosed(10000);
}

TEST(FirewallTunnel, EveryKindCarriesTheStreamHoweverTheRepliesAreCut) {
  const std::string stream = "hello\r\nworld\r\n";
  const struct {
    TFirewallType type;
    const char* host;
    const char* user;
    const char* password;
    std::vector<Exchange> exchanges;
  } kinds[] = {
      {fwTunnel, "localhost", "", "",
       {{"CONNECT localhost:8080 HTTP/1.0\r\n\r\n", "HTTP/1.0 200 Connection established\r\nVia: x\r\n\r\n"}}},
      {fwTunnel, "localhost", "me", "pw",
       {{"CONNECT localhost:8080 HTTP/1.0\r\nProxy-authorization: Basic bWU6cHc=\r\n\r\n", "HTTP/1.1 200 OK\n\n"}}},
      {fwSOCKS4, "127.0.0.1", "me", "", {{Bytes({4, 1, 0x1f, 0x90, 127, 0, 0, 1, 'm', 'e', 0}), Bytes({0, 90, 1, 2, 3, 4, 5, 6})}}},
      {fwSOCKS5, "127.0.0.1", "", "",
       {{Bytes({5, 1, 0}), Bytes({5, 0})},
        {Bytes({5, 1, 0, 1, 127, 0, 0, 1, 0x1f, 0x90}), Bytes({5, 0, 0, 1, 10, 0, 0, 9, 0x30, 0x39})}}},
      {fwSOCKS5, "*localhost", "me", "pw",
       {{Bytes({5, 2, 0, 2}), Bytes({5, 2})},
        {Bytes({1, 2, 'm', 'e', 2, 'p', 'w'}), Bytes({1, 0})},
        {Bytes({5, 1, 0, 3, 9}) + "localhost" + Bytes({0x1f, 0x90}), Bytes({5, 0, 0, 3, 2, 'f', 'w', 0, 80})}}},
  };
  const Lines expected = {"ConnectionStatus Firewall connection complete. 0 OK",
                          "ConnectionStatus Remote host connection complete. 0 OK",
                          "Connected 0 OK",
                          "Data hello|1",
                          "Data world|1",
                          "ConnectionStatus Firewall host disconnected. 0 OK",
                          "ConnectionStatus Remote host disconnected. 0 OK",
                          "Disconnected 0 OK"};
  for (const auto& kind : kinds) {
    std::string requests;
    for (const Exchange& e : kind.exchanges) requests += e.request;
    for (Delivery delivery : {Delivery::kJoined, Delivery::kByteWise, Delivery::kPipelined}) {
      SCOPED_TRACE(testing::Message() << "type " << kind.type << " host " << kind.host << " delivery "
                                      << static_cast<int>(delivery));
      ScriptedServer firewall({Firewall(kind.exchanges, stream, delivery)});
      EventLog log;
      Client c(log);
      c.SetLineTerminator("\r\n");
      Through(c, kind.type, firewall.Port(), kind.host, 8080, kind.user, kind.password);
      ASSERT_EQ(c.Connect(), 0);
      ASSERT_TRUE(PumpUntil([&] { return log.Has("Data world|1"); }));
      EXPECT_EQ(c.Disconnect(0), 0);
      EXPECT_EQ(log.lines, expected);
      ASSERT_TRUE(firewall.WaitFinished(1, 2000));
      EXPECT_EQ(firewall.Received(0), requests);
    }
  }
}

TEST(FirewallTunnel, ARefusalOrABrokenNegotiationFailsWith118AndClosesTheConnection) {
  const std::string kConnect = "CONNECT localhost:8080 HTTP/1.0\r\n\r\n";
  const std::string longName = "*" + std::string(256, 'a');
  const struct {
    TFirewallType type;
    std::string host;
    ScriptedServer::Script script;
    std::string sent;
    std::string text;
  } cases[] = {
      // Nothing the firewall sends after refusing reaches the layers above.
      {fwTunnel, "localhost",
       ScriptedServer::Script()
           .Receive(kConnect.size(), 2000)
           .Send("HTTP/1.0 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic\r\n\r\n<p>no</p>\r\n")
           .ReceiveUntilClosed(2000),
       kConnect, "HTTP/1.0 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic"},
      {fwSOCKS5, "127.0.0.1", ScriptedServer::Script().Receive(3, 2000).Send(Bytes({5, 255}) + "more\r\n").ReceiveUntilClosed(2000),
       Bytes({5, 1, 0}), "no acceptable firewall authentication methods"},
      {fwSOCKS4, "127.0.0.1", ScriptedServer::Script().Receive(9, 2000).Send(Bytes({0, 91, 0, 0, 0, 0, 0, 0})),
       Bytes({4, 1, 0x1f, 0x90, 127, 0, 0, 1, 0}), "firewall request rejected or failed"},
      {fwTunnel, "localhost", ScriptedServer::Script().Receive(kConnect.size(), 2000).Send("HTTP/1.0 200 Conn").Close(),
       kConnect, "The firewall closed the connection during negotiation."},
      {fwSOCKS5, "127.0.0.1", ScriptedServer::Script().Receive(3, 2000).Send(Bytes({5, 0})).Receive(10, 2000).Reset(),
       Bytes({5, 1, 0, 5, 1, 0, 1, 127, 0, 0, 1, 0x1f, 0x90}), "The firewall closed the connection during negotiation."},
      {fwTunnel, "localhost",
       ScriptedServer::Script().Receive(kConnect.size(), 2000).Send("HTTP/1.0 200 OK\r\n" + std::string(20000, 'x')).ReceiveUntilClosed(2000),
       kConnect, "firewall reply too long: no end of its header block within 16384 bytes"},
      // Refused before a byte is sent rather than with a wrapped length.
      {fwSOCKS5, longName, ScriptedServer::Script().ReceiveUntilClosed(2000), "",
       "firewall request not sent: the RemoteHost name is longer than 255 bytes"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    ScriptedServer firewall({c.script});
    EventLog log;
    Client client(log);
    client.SetLineTerminator("\r\n");
    Through(client, c.type, firewall.Port(), c.host, 8080);
    ASSERT_EQ(client.Connect(), 0);
    ASSERT_TRUE(PumpUntil([&] { return Disconnected(log); }));
    EXPECT_EQ(log.lines, (Lines{"ConnectionStatus Firewall connection complete. 0 OK", "Error 118 " + c.text,
                                "Connected 118 " + c.text, "ConnectionStatus Firewall host disconnected. 0 OK",
                                "ConnectionStatus Remote host disconnected. 0 OK", "Disconnected 0 OK"}));
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(client.SocketHandle(), kInvalidSocket);
    EXPECT_EQ(client.LastError(), kErrFirewall);
    EXPECT_EQ(client.LastErrorText(), c.text);
    ASSERT_TRUE(firewall.WaitFinished(1, 3000));
    EXPECT_EQ(firewall.Received(0), c.sent);
  }
}

TEST(FirewallTunnel, AFirewallThatNeverAnswersEndsTheWaitWithTheTimeout) {
  ScriptedServer firewall({ScriptedServer::Script().Receive(3, 2000).Pause(3000)});
  EventLog log;
  Client c(log);
  c.SetTimeoutSeconds(1);
  Through(c, fwSOCKS5, firewall.Port(), "127.0.0.1", 8080);
  ASSERT_EQ(c.Connect(), 0);
  const auto start = std::chrono::steady_clock::now();
  c.ArmDeadline();
  EXPECT_EQ(c.WaitUntil([&] { return ConnectReported(log); }), kErrInterrupted);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(c.LastErrorText(), "Timeout.");
  EXPECT_GE(waited, std::chrono::milliseconds(900));
  EXPECT_LT(waited, std::chrono::milliseconds(2000));
  EXPECT_FALSE(c.Connected());
  // Given up by the caller: closed without a result for the negotiation.
  EXPECT_EQ(c.Disconnect(0), 0);
  EXPECT_EQ(log.lines, (Lines{"ConnectionStatus Firewall connection complete. 0 OK",
                              "ConnectionStatus Firewall host disconnected. 0 OK",
                              "ConnectionStatus Remote host disconnected. 0 OK", "Disconnected 0 OK"}));
}

TEST(FirewallTunnel, TheRemoteHostIsLookedUpOnlyWithoutAFirewall) {
  TcpConnection c;
  FirewallTunnel& firewall = c.Firewall();
  firewall.SetType(fwTunnel);
  // The remote host is not looked up: this name would fail at once if it were.
  EXPECT_EQ(c.SetRemoteHost(std::string_view("a\0b", 3)), 0);

  // A host set while the firewall was there is looked up once it is gone.
  ScriptedServer direct({ScriptedServer::Script().Send("hi\n").Pause(2000)});
  EventLog log;
  c.SetEvents(&log);
  ASSERT_EQ(c.SetRemoteHost("localhost"), 0);
  ASSERT_EQ(c.SetRemotePort(direct.Port()), 0);
  firewall.SetType(fwNone);
  ASSERT_EQ(c.Connect(), 0);
  ASSERT_TRUE(PumpUntil([&] { return ConnectReported(log); }));
  EXPECT_EQ(log.lines, (Lines{"ConnectionStatus Remote host connection complete. 0 OK", "Connected 0 OK"}));
  EXPECT_TRUE(c.Connected());
  EXPECT_EQ(c.Disconnect(0), 0);
}

}  // namespace
}  // namespace rssvane
