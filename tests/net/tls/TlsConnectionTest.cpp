// TLS inside the TCP connection, between the firewall tunnel and the line
// buffer: nginx with the test CA's certificates, directly and through
// tinyproxy (CONNECT) and dante (SOCKS5); the events a host sees; what is
// sent and received crossing it whole.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Nginx.h"
#include "NetTestSupport.h"
#include "Proxies.h"
#include "ScriptedServer.h"
#include "TestCa.h"
#include "feed/ConfigChain.h"
#include "net/NetCodes.h"

namespace rssvane {
namespace {

using Lines = std::vector<std::string>;
using vk::test::CertificateFiles;
using vk::test::Dante;
using vk::test::Nginx;
using vk::test::TestCa;
using vk::test::Tinyproxy;
using vk_test::ScriptedServer;

// A connection that keeps every byte it receives.
class Fetcher : public TcpConnection {
 public:
  explicit Fetcher(EventLog& log) { SetEvents(&log); }
  std::string received;

 protected:
  void DataIn(std::string_view bytes, bool) override { received += bytes; }
};

int Config(TcpConnection& c, std::string_view text, std::string* answer = nullptr) {
  ConfigChain chain;
  chain.Attach(ConfigLevel::kTcp, &c.TcpSettings());
  ConfigResult result;
  int rc = chain.Offer(ParseConfigString(text), result);
  if (answer) *answer = rc ? result.message : result.value;
  return rc;
}

// Bytes of every value, longer than several TLS records and line buffers.
std::string Document() {
  std::string document;
  uint32_t x = 777;
  for (int i = 0; i < 200000; ++i) {
    x = x * 1103515245 + 12345;
    document += static_cast<char>(x >> 16);
  }
  return document;
}

// The events of a direct connection whose handshake failed with text.
Lines Refused(const std::string& text) {
  return {"Error 119 " + text, "Connected 119 " + text, "ConnectionStatus Remote host disconnected. 0 OK",
          "Disconnected 0 OK"};
}

const Lines kFetchedDirectly = {"ConnectionStatus Remote host connection complete. 0 OK", "Connected 0 OK",
                                "ConnectionStatus Remote host disconnected. 0 OK", "Disconnected 0 OK"};

class TlsConnection : public testing::Test {
 protected:
  static void SetUpTestSuite() { ca_ = new TestCa; }
  static void TearDownTestSuite() {
    delete ca_;
    ca_ = nullptr;
  }

  static std::unique_ptr<Nginx> Serving(const CertificateFiles& files) {
    auto nginx = std::make_unique<Nginx>(vk::test::NginxOptions{.tlsCertificate = files.certificate, .tlsKey = files.key});
    nginx->WriteDocument("doc.bin", document_);
    return nginx;
  }

  struct Fetched {
    Lines events;
    std::string body;
    int connectResult = 0;
  };

  // GET /doc.bin over TLS for serverName, directly or through a firewall,
  // until the server closes the connection.
  static Fetched Get(int port, std::string_view serverName, TFirewallType type = fwNone, int firewallPort = 0,
                     std::string_view caFile = ca_->CaCertificate()) {
    EventLog log;
    Fetcher c(log);
    c.SetLineTerminator("");
    c.UseTls(true, serverName);
    EXPECT_EQ(Config(c, "TlsCaFile=" + std::string(caFile)), 0);
    if (type == fwNone) {
      EXPECT_EQ(c.SetRemoteHost("127.0.0.1"), 0);
      EXPECT_EQ(c.SetRemotePort(port), 0);
    } else {
      Through(c, type, static_cast<uint16_t>(firewallPort), serverName, port);
    }
    Fetched fetched;
    fetched.connectResult = c.Connect();
    if (fetched.connectResult != 0) {
      fetched.events = {std::string(c.LastErrorText())};
      return fetched;
    }
    EXPECT_TRUE(PumpUntil([&] { return ConnectReported(log); }));
    if (c.Connected()) {
      const std::string request = "GET /doc.bin HTTP/1.0\r\nHost: localhost\r\n\r\n";
      EXPECT_EQ(c.SendAll(request.data(), request.size()), 0) << c.LastErrorText();
    }
    EXPECT_TRUE(PumpUntil([&] { return c.SocketHandle() == kInvalidSocket; }));
    fetched.events = log.lines;
    const size_t head = c.received.find("\r\n\r\n");
    if (c.received.starts_with("HTTP/1.1 200 OK\r\n") && head != std::string::npos) {
      fetched.body = c.received.substr(head + 4);
    }
    return fetched;
  }

  static TestCa* ca_;
  static const std::string document_;
};

TestCa* TlsConnection::ca_ = nullptr;
const std::string TlsConnection::document_ = Document();

TEST_F(TlsConnection, ATrustedServerIsReachedDirectlyAndThroughEachKindOfFirewall) {
  auto nginx = Serving(ca_->Localhost());
  Fetched direct = Get(nginx->TlsPort(), "localhost");
  EXPECT_EQ(direct.events, kFetchedDirectly);
  EXPECT_TRUE(direct.body == document_) << direct.body.size();

  Tinyproxy tinyproxy;
  Dante dante;
  const Lines throughFirewall = {"ConnectionStatus Firewall connection complete. 0 OK",
                                 "ConnectionStatus Remote host connection complete. 0 OK",
                                 "Connected 0 OK",
                                 "ConnectionStatus Firewall host disconnected. 0 OK",
                                 "ConnectionStatus Remote host disconnected. 0 OK",
                                 "Disconnected 0 OK"};
  for (auto [type, port] : {std::pair{fwTunnel, tinyproxy.Port()}, std::pair{fwSOCKS5, dante.Port()}}) {
    SCOPED_TRACE(type);
    Fetched tunnelled = Get(nginx->TlsPort(), "localhost", type, port);
    EXPECT_EQ(tunnelled.events, throughFirewall);
    EXPECT_TRUE(tunnelled.body == document_) << tunnelled.body.size();
  }
  const auto log = nginx->WaitForAccessLog(3);
  ASSERT_EQ(log.size(), 3u);
  for (const auto& request : log) EXPECT_EQ(request.scheme, "https");
}

TEST_F(TlsConnection, AProxyTunnelsWithItsOwnAuthorizationWhateverFirewallIsSet) {
  auto nginx = Serving(ca_->Localhost());
  Tinyproxy proxy({.basicAuth = vk::test::Account{"carol", "tunnel"}});
  EventLog log;
  Fetcher c(log);
  c.SetLineTerminator("");
  c.UseTls(true, "localhost");
  ASSERT_EQ(Config(c, "TlsCaFile=" + ca_->CaCertificate()), 0);
  // A SOCKS firewall nobody listens on, with credentials of its own: the
  // proxy takes its place for these connections.
  ClosedPort nowhere;
  Through(c, fwSOCKS5, nowhere.Port(), "localhost", nginx->TlsPort(), "dave", "s0cks");
  ASSERT_EQ(c.Firewall().SetProxy("127.0.0.1", proxy.Port(), "Basic Y2Fyb2w6dHVubmVs"), 0);
  ASSERT_EQ(c.Connect(), 0);
  ASSERT_TRUE(PumpUntil([&] { return ConnectReported(log); }));
  const std::string request = "GET /doc.bin HTTP/1.0\r\nHost: localhost\r\n\r\n";
  ASSERT_EQ(c.SendAll(request.data(), request.size()), 0) << c.LastErrorText() << proxy.Log();
  ASSERT_TRUE(PumpUntil([&] { return c.SocketHandle() == kInvalidSocket; }));
  EXPECT_TRUE(c.received.ends_with("\r\n\r\n" + document_)) << c.received.substr(0, 200);
  EXPECT_EQ(proxy.Requests(), (std::vector<std::string>{"CONNECT localhost:" + std::to_string(nginx->TlsPort()) +
                                                        " HTTP/1.0"}));
  EXPECT_EQ(c.Firewall().Type(), fwSOCKS5);
  EXPECT_EQ(c.Firewall().Port(), nowhere.Port());
  EXPECT_EQ(c.Firewall().User(), "dave");
}

TEST_F(TlsConnection, ABadCertificateFailsTheConnectionDirectlyAndThroughTinyproxy) {
  Tinyproxy tinyproxy;
  const struct {
    const CertificateFiles& files;
    const char* reason;
  } cases[] = {{ca_->WrongHost(), "hostname mismatch"},
               {ca_->Expired(), "certificate has expired"},
               {ca_->UnknownIssuer(), "unable to get local issuer certificate"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    auto nginx = Serving(c.files);
    const std::string text = "TLS certificate verification failed for localhost: " + std::string(c.reason);
    EXPECT_EQ(Get(nginx->TlsPort(), "localhost").events, Refused(text));
    EXPECT_EQ(Get(nginx->TlsPort(), "localhost", fwTunnel, tinyproxy.Port()).events,
              (Lines{"ConnectionStatus Firewall connection complete. 0 OK", "Error 119 " + text,
                     "Connected 119 " + text, "ConnectionStatus Firewall host disconnected. 0 OK",
                     "ConnectionStatus Remote host disconnected. 0 OK", "Disconnected 0 OK"}));
    EXPECT_TRUE(nginx->AccessLog().empty());
  }
}

TEST_F(TlsConnection, AServerThatDoesNotSpeakTlsFailsTheHandshakeWithTheReason) {
  auto nginx = Serving(ca_->Localhost());
  EXPECT_EQ(Get(nginx->Port(), "localhost").events, Refused("TLS handshake failed: wrong version number"));
  // It reads the whole ClientHello first, so that its close is no reset.
  ScriptedServer closing({ScriptedServer::Script().Receive(4096, 300).Close()});
  EXPECT_EQ(Get(closing.Port(), "localhost").events,
            Refused("TLS handshake failed: the server closed the connection."));
}

TEST_F(TlsConnection, ALargeUploadCrossesWholeWhileTheSocketFillsUp) {
  auto nginx = Serving(ca_->Localhost());
  EventLog log;
  Fetcher c(log);
  c.SetLineTerminator("");
  c.UseTls(true, "127.0.0.1");
  ASSERT_EQ(Config(c, "TlsCaFile=" + ca_->CaCertificate()), 0);
  // A small send buffer fills with every record; nginx takes up to 1 MiB.
  ASSERT_EQ(Config(c, "OutBufferSize=4096"), 0);
  ASSERT_EQ(c.SetRemoteHost("127.0.0.1"), 0);
  ASSERT_EQ(c.SetRemotePort(nginx->TlsPort()), 0);
  ASSERT_EQ(c.Connect(), 0);
  ASSERT_TRUE(PumpUntil([&] { return c.Connected(); }));
  std::string body;
  for (int i = 0; i < 4; ++i) body += document_;
  const std::string request = "PUT /dav/up.bin HTTP/1.0\r\nHost: localhost\r\nContent-Length: " +
                              std::to_string(body.size()) + "\r\n\r\n" + body;
  c.SetTimeoutSeconds(10);
  ASSERT_EQ(c.SendAll(request.data(), request.size()), 0) << c.LastErrorText();
  ASSERT_TRUE(PumpUntil([&] { return c.SocketHandle() == kInvalidSocket; }));
  EXPECT_TRUE(c.received.starts_with("HTTP/1.1 201 Created\r\n")) << c.received.substr(0, 300);
  EXPECT_TRUE(nginx->ReadDocument("dav/up.bin") == body);
}

TEST_F(TlsConnection, TheTrustSettingsAreReadBackAndACaFileThatCannotBeReadFailsTheConnect) {
  EventLog log;
  Fetcher c(log);
  std::string answer;
  EXPECT_EQ(Config(c, "TlsVerify", &answer), 0);
  EXPECT_EQ(answer, "True");
  EXPECT_EQ(Config(c, "TlsVerify=flase", &answer), kErrTls);
  EXPECT_EQ(answer, "TlsVerify takes true or false; the setting is unchanged.");
  EXPECT_EQ(Config(c, "TlsVerify", &answer), 0);
  EXPECT_EQ(answer, "True");

  Fetched refused = Get(443, "localhost", fwNone, 0, "/nonexistent/ca.pem");
  EXPECT_EQ(refused.connectResult, kErrTls);
  ASSERT_EQ(refused.events.size(), 1u);
  EXPECT_TRUE(refused.events[0].starts_with("The TLS CA file /nonexistent/ca.pem cannot be read: "))
      << refused.events[0];

  // Verification off takes a certificate for another name.
  auto wrong = Serving(ca_->WrongHost());
  EXPECT_EQ(Config(c, "TlsVerify=no"), 0);
  EXPECT_EQ(Config(c, "TlsVerify", &answer), 0);
  EXPECT_EQ(answer, "False");
  c.UseTls(true, "localhost");
  c.SetLineTerminator("");
  ASSERT_EQ(c.SetRemoteHost("127.0.0.1"), 0);
  ASSERT_EQ(c.SetRemotePort(wrong->TlsPort()), 0);
  ASSERT_EQ(c.Connect(), 0);
  ASSERT_TRUE(PumpUntil([&] { return ConnectReported(log); }));
  EXPECT_EQ(log.lines, (Lines{"ConnectionStatus Remote host connection complete. 0 OK", "Connected 0 OK"}));
}

}  // namespace
}  // namespace rssvane
