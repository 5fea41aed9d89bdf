// The TLS session driven over a plain blocking socket against nginx with
// certificates of the test CA: the exchange itself, and each way a
// certificate check must fail, with OpenSSL's reason in the text.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "Nginx.h"
#include "TestCa.h"
#include "net/NetCodes.h"
#include "net/TlsSession.h"

namespace rssvane {
namespace {

using vk::test::CertificateFiles;
using vk::test::Nginx;
using vk::test::TestCa;
using Status = TlsSession::Status;

// A blocking TCP socket to 127.0.0.1 whose reads give up after 5 seconds.
class PlainSocket {
 public:
  explicit PlainSocket(int port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    timeval limit{5, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  }
  ~PlainSocket() { ::close(fd_); }
  bool Connected() const { return connected_; }
  int Fd() const { return fd_; }

 private:
  int fd_;
  bool connected_ = false;
};

struct Exchange {
  int code = 0;  // 0, or the failure's code
  std::string text = {};
  bool resumed = false;
  std::string response = {};  // everything the server sent inside the session
};

// Sends what the session has for the server.
bool Flush(TlsSession& session, int fd) {
  while (session.HasOutgoing()) {
    std::string_view out = session.Outgoing();
    ssize_t n = ::send(fd, out.data(), out.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    session.Sent(static_cast<size_t>(n));
  }
  return true;
}

// Receives at most `most` bytes into the session: false at the end of the
// stream or after the socket's time limit.
bool Receive(TlsSession& session, int fd, size_t most) {
  std::span<char> space = session.ReceiveSpace();
  ssize_t n = ::recv(fd, space.data(), std::min(space.size(), most), 0);
  if (n <= 0) return false;
  session.Received(static_cast<size_t>(n));
  return true;
}

// GET path with "Connection: close" through a session for serverName,
// reading until the server ends the session, in receives of `most` bytes.
Exchange Get(const TlsContext& context, int port, std::string_view serverName, std::string_view path,
             size_t most = 65536, TlsResumption* resumption = nullptr) {
  Exchange e;
  PlainSocket socket(port);
  if (!socket.Connected()) return {.code = -1, .text = "no connection"};
  TlsSession session;
  const int fd = socket.Fd();
  e.code = session.Start(context, serverName, resumption ? resumption->For(serverName, context) : nullptr);
  Status status = e.code == 0 ? Status::kWantRead : Status::kFailed;
  for (int step = 0; step < 100000 && status != Status::kDone && status != Status::kFailed; ++step) {
    if (!Flush(session, fd) || (status == Status::kWantRead && !Receive(session, fd, most))) break;
    status = session.Handshake();
  }
  if (status != Status::kDone || !Flush(session, fd)) {
    e.code = session.Failure() != 0 ? session.Failure() : -1;
    e.text = session.FailureText();
    return e;
  }
  e.resumed = session.Resumed();
  std::string request = "GET " + std::string(path) + " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n";
  std::string_view rest = request;
  for (int step = 0; step < 1000 && !rest.empty(); ++step) {
    size_t consumed = 0;
    if (session.Write(rest, consumed) == Status::kFailed) break;
    rest.remove_prefix(consumed);
    if (!Flush(session, fd)) break;
  }
  char plain[700];
  for (int step = 0; step < 1000000; ++step) {
    size_t n = 0;
    status = session.Read(plain, n);
    if (status == Status::kDone) {
      e.response.append(plain, n);
    } else if (status != Status::kWantRead || !Receive(session, fd, most)) {
      break;
    }
  }
  if (status == Status::kFailed) {
    e.code = session.Failure();
    e.text = session.FailureText();
  }
  // Only a session ended with close_notify may be resumed.
  session.Close();
  Flush(session, fd);
  if (resumption) resumption->Keep(serverName, context, session.Session());
  return e;
}

TlsContext Trusting(const std::string& caFile, bool verify = true) {
  TlsContext context;
  std::string text;
  EXPECT_EQ(context.Load({caFile, verify}, text), 0) << text;
  return context;
}

class TlsSessionTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { ca_ = new TestCa; }
  static void TearDownTestSuite() {
    delete ca_;
    ca_ = nullptr;
  }
  static std::unique_ptr<Nginx> Serving(const CertificateFiles& files, std::string serverConfig = {}) {
    auto nginx = std::make_unique<Nginx>(
        vk::test::NginxOptions{.tlsCertificate = files.certificate, .tlsKey = files.key,
                               .serverConfig = std::move(serverConfig)});
    nginx->WriteDocument("feed.xml", Feed());
    return nginx;
  }
  // Longer than a TLS record, so that the body spans several.
  static std::string Feed() {
    std::string feed = "<rss version=\"2.0\"><channel>";
    for (int i = 0; i < 900; ++i) feed += "<item><title>Item " + std::to_string(i) + "</title></item>";
    return feed + "</channel></rss>";
  }
  static TestCa* ca_;
};

TestCa* TlsSessionTest::ca_ = nullptr;

TEST_F(TlsSessionTest, ATrustedServerAnswersByNameAndByAddressInAnyCutOfItsBytes) {
  auto nginx = Serving(ca_->Localhost());
  TlsContext context = Trusting(ca_->CaCertificate());
  for (auto [name, most] : {std::pair{"localhost", size_t{65536}}, std::pair{"127.0.0.1", size_t{1}},
                            std::pair{"localhost.", size_t{7}}}) {
    SCOPED_TRACE(name);
    Exchange e = Get(context, nginx->TlsPort(), name, "/feed.xml", most);
    ASSERT_EQ(e.code, 0) << e.text;
    EXPECT_TRUE(e.response.starts_with("HTTP/1.1 200 OK\r\n")) << e.response.substr(0, 200);
    EXPECT_TRUE(e.response.ends_with("\r\n\r\n" + Feed())) << e.response.size();
  }
  EXPECT_EQ(nginx->WaitForAccessLog(3).size(), 3u);
}

TEST_F(TlsSessionTest, EachBadCertificateFailsTheHandshakeWithOpenSslsReason) {
  TlsContext context = Trusting(ca_->CaCertificate());
  const struct {
    const CertificateFiles& files;
    const char* name;
    const char* reason;
  } cases[] = {
      {ca_->WrongHost(), "localhost", "TLS certificate verification failed for localhost: hostname mismatch"},
      {ca_->WrongHost(), "127.0.0.1", "TLS certificate verification failed for 127.0.0.1: IP address mismatch"},
      {ca_->Expired(), "localhost", "TLS certificate verification failed for localhost: certificate has expired"},
      {ca_->UnknownIssuer(), "localhost",
       "TLS certificate verification failed for localhost: unable to get local issuer certificate"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.files.certificate);
    auto nginx = Serving(c.files);
    Exchange e = Get(context, nginx->TlsPort(), c.name, "/feed.xml");
    EXPECT_EQ(e.code, kErrTls);
    EXPECT_EQ(e.text, c.reason);
    EXPECT_TRUE(nginx->AccessLog().empty());
  }
  // The system's store does not hold the test CA.
  auto good = Serving(ca_->Localhost());
  Exchange e = Get(Trusting(""), good->TlsPort(), "localhost", "/feed.xml");
  EXPECT_EQ(e.text, "TLS certificate verification failed for localhost: unable to get local issuer certificate");
  // Verification switched off accepts a certificate for another name.
  auto wrong = Serving(ca_->WrongHost());
  e = Get(Trusting(ca_->CaCertificate(), false), wrong->TlsPort(), "localhost", "/feed.xml");
  EXPECT_EQ(e.code, 0) << e.text;
  EXPECT_TRUE(e.response.ends_with(Feed()));
}

TEST_F(TlsSessionTest, AServerOfferingOnlyTls11IsRefused) {
  auto old = Serving(ca_->Localhost(), "ssl_protocols TLSv1 TLSv1.1; ssl_ciphers DEFAULT:@SECLEVEL=0;");
  Exchange e = Get(Trusting(ca_->CaCertificate()), old->TlsPort(), "localhost", "/feed.xml");
  EXPECT_EQ(e.code, kErrTls);
  EXPECT_TRUE(e.text.starts_with("TLS handshake failed: ")) << e.text;
  EXPECT_TRUE(old->AccessLog().empty());
}

TEST_F(TlsSessionTest, ALaterConnectionResumesTheSessionKeptForTheSameServerOnly) {
  auto nginx = Serving(ca_->Localhost());
  TlsContext context = Trusting(ca_->CaCertificate());
  TlsResumption resumption;
  EXPECT_FALSE(Get(context, nginx->TlsPort(), "localhost", "/feed.xml", 65536, &resumption).resumed);
  Exchange again = Get(context, nginx->TlsPort(), "localhost", "/feed.xml", 65536, &resumption);
  EXPECT_EQ(again.code, 0) << again.text;
  EXPECT_TRUE(again.resumed);
  EXPECT_TRUE(again.response.ends_with(Feed()));
  // A session is kept for its server name alone.
  EXPECT_FALSE(Get(context, nginx->TlsPort(), "127.0.0.1", "/feed.xml", 65536, &resumption).resumed);
}

TEST(TlsContextTest, ACaFileThatCannotBeReadIsRefusedAndTheOldTrustKept) {
  TlsContext context;
  std::string text;
  EXPECT_EQ(context.Load({"/nonexistent/ca.pem", true}, text), kErrTls);
  EXPECT_TRUE(text.starts_with("The TLS CA file /nonexistent/ca.pem cannot be read: ")) << text;
  EXPECT_FALSE(context.Loaded());
  TlsSession session;
  EXPECT_EQ(session.Start(context, "localhost"), kErrTls);
  EXPECT_EQ(session.FailureText(), "TLS is not set up: no trusted certificates were loaded.");

  ASSERT_EQ(context.Load({"", true}, text), 0) << text;
  EXPECT_EQ(context.Load({"/etc/hostname", true}, text), kErrTls);
  EXPECT_TRUE(context.Loaded());
  EXPECT_EQ(context.Trust(), (TlsTrust{"", true}));
  EXPECT_EQ(session.Start(context, ""), kErrTls);
  EXPECT_EQ(session.Start(context, "localhost"), 0);
  EXPECT_TRUE(session.HasOutgoing());  // the ClientHello
}

}  // namespace
}  // namespace rssvane
