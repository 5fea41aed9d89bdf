// What a feed client needs from today's web, against nginx with the test
// CA's certificates: https directly and through tinyproxy as ProxyServer
// (CONNECT), with every bad certificate refused; compressed bodies decoded
// for every reader; validators read back and sent again until the server
// answers 304; and a hostile server's gzip bomb stopped at the bound.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Compressed.h"
#include "HttpTestSupport.h"
#include "Nginx.h"
#include "Proxies.h"
#include "ScriptedServer.h"
#include "TestCa.h"
#include "base/Codes.h"
#include "net/NetCodes.h"

namespace rssvane {
namespace {

using vk::test::CertificateFiles;
using vk::test::Nginx;
using vk::test::TestCa;
using vk::test::Tinyproxy;
using vk_test::ScriptedServer;

std::string Feed() {
  std::string feed = "<?xml version=\"1.0\"?>\n<rss version=\"2.0\"><channel><title>t</title>\n";
  for (int i = 0; i < 2000; ++i) feed += "<item><title>Item " + std::to_string(i) + "</title></item>\n";
  return feed + "</channel></rss>\n";
}

class SecureFeeds : public testing::Test {
 protected:
  static void SetUpTestSuite() { ca_ = new TestCa; }
  static void TearDownTestSuite() {
    delete ca_;
    ca_ = nullptr;
  }
  static std::unique_ptr<Nginx> Serving(const CertificateFiles& files) {
    auto nginx = std::make_unique<Nginx>(vk::test::NginxOptions{.tlsCertificate = files.certificate, .tlsKey = files.key});
    nginx->WriteDocument("feed.xml", feed_);
    return nginx;
  }
  // A client that trusts the test CA and keeps whole bodies.
  static void Trusting(TestClient& client) {
    ASSERT_EQ(client.Config("TlsCaFile=" + ca_->CaCertificate()), 0);
    client.SetMaxTransferredData(0);
  }
  static TestCa* ca_;
  static const std::string feed_;
};

TestCa* SecureFeeds::ca_ = nullptr;
const std::string SecureFeeds::feed_ = Feed();

TEST_F(SecureFeeds, HttpsDirectlyAndThroughAProxyWithEveryBadCertificateRefused) {
  auto good = Serving(ca_->Localhost());
  Tinyproxy proxy({.basicAuth = vk::test::Account{"carol", "tunnel"}});
  for (bool viaProxy : {false, true}) {
    SCOPED_TRACE(viaProxy ? "through tinyproxy" : "directly");
    TestClient client;
    Trusting(client);
    if (viaProxy) {
      ASSERT_EQ(client.Config("ProxyServer=127.0.0.1"), 0);
      ASSERT_EQ(client.Config("ProxyPort=" + Port(proxy.Port())), 0);
      ASSERT_EQ(client.Config("ProxyUser=carol"), 0);
      ASSERT_EQ(client.Config("ProxyPassword=tunnel"), 0);
    }
    ASSERT_EQ(client.Get(good->TlsUrl("/feed.xml")), 0) << client.LastErrorText();
    EXPECT_TRUE(client.TransferredData() == feed_);
    for (const auto& [files, reason] :
         {std::pair{&ca_->WrongHost(), "hostname mismatch"}, std::pair{&ca_->Expired(), "certificate has expired"},
          std::pair{&ca_->UnknownIssuer(), "unable to get local issuer certificate"}}) {
      auto bad = Serving(*files);
      EXPECT_EQ(client.Get(bad->TlsUrl("/feed.xml")), kErrTls);
      EXPECT_EQ(client.LastErrorText(), "TLS certificate verification failed for localhost: " + std::string(reason));
      EXPECT_TRUE(bad->AccessLog().empty());
    }
  }
  // The proxy saw tunnels only (to the good server, then each bad one), and
  // the server the requests in origin form with its own host and port and
  // no proxy credentials.
  const std::string target = "localhost:" + std::to_string(good->TlsPort());
  const std::vector<std::string> tunnels = proxy.Requests();
  ASSERT_EQ(tunnels.size(), 4u);
  EXPECT_EQ(tunnels[0], "CONNECT " + target + " HTTP/1.0");
  EXPECT_THAT(tunnels, testing::Each(testing::MatchesRegex("CONNECT localhost:[0-9]+ HTTP/1.0")));
  const auto log = good->WaitForAccessLog(2);
  ASSERT_EQ(log.size(), 2u);
  for (const auto& request : log) {
    EXPECT_EQ(request.scheme, "https");
    EXPECT_EQ(request.uri, "/feed.xml");
    EXPECT_EQ(request.host, target);
    EXPECT_EQ(request.proxyAuthorization, "");
  }
}

TEST_F(SecureFeeds, ARedirectFromHttpToHttpsFollowsTheRulesAsTheyStand) {
  auto nginx = Serving(ca_->Localhost());
  const std::string location = nginx->TlsUrl("/feed.xml");
  const std::string moved = "HTTP/1.1 301 Moved\r\nLocation: " + location + "\r\nContent-Length: 0\r\n\r\n";
  ScriptedServer server({ScriptedServer::Script().Receive(1, 5000).Send(moved).Pause(500)});
  for (TFollowRedirects follow : {frAlways, frSameScheme}) {
    TestClient client;
    Trusting(client);
    client.SetFollowRedirects(follow);
    const int rc = client.Get("http://127.0.0.1:" + Port(server.Port()) + "/feed.xml");
    if (follow == frAlways) {
      EXPECT_EQ(rc, 0) << client.LastErrorText();
      EXPECT_TRUE(client.TransferredData() == feed_);
      EXPECT_EQ(client.events.Starting("Redirect"), std::vector<std::string>{"Redirect " + location + " 1"});
    } else {
      EXPECT_EQ(rc, kErrHttp);
      EXPECT_EQ(client.LastErrorText(), "Moved");
      EXPECT_EQ(client.events.Starting("Redirect"), std::vector<std::string>{"Redirect " + location + " 0"});
    }
  }
  EXPECT_EQ(nginx->WaitForAccessLog(1).size(), 1u);
}

TEST_F(SecureFeeds, CompressedBodiesAreDecodedForEveryReaderOnlyWhenAsked) {
  Nginx nginx;
  nginx.WriteDocument("feed.xml", feed_);
  for (const char* acceptEncoding : {"gzip, deflate", ""}) {
    SCOPED_TRACE(acceptEncoding);
    TestClient client;
    client.SetMaxTransferredData(1000);
    ASSERT_EQ(client.Config("AcceptEncoding=" + std::string(acceptEncoding)), 0);
    ASSERT_EQ(client.Get(nginx.Url("/gzip/feed.xml")), 0) << client.LastErrorText();
    EXPECT_EQ(client.TransferredData(), feed_.substr(0, 1000));
    EXPECT_TRUE(client.events.body == feed_) << client.events.body.size();
    EXPECT_EQ(client.events.lines[client.events.lines.size() - 4], "Transfer " + std::to_string(feed_.size()));
  }
  const auto log = nginx.WaitForAccessLog(2);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].acceptEncoding, "gzip, deflate");
  EXPECT_LT(log[0].bodyBytes, static_cast<long>(feed_.size()) / 5);  // it did compress
  EXPECT_EQ(log[1].acceptEncoding, "");
  EXPECT_EQ(log[1].bodyBytes, static_cast<long>(feed_.size()));
}

TEST_F(SecureFeeds, ValidatorsReadBackAndSentAgainEndInNotModified) {
  auto nginx = Serving(ca_->Localhost());
  nginx->SetModified("feed.xml", 1700000000);
  TestClient client;
  Trusting(client);
  ASSERT_EQ(client.Get(nginx->TlsUrl("/feed.xml")), 0) << client.LastErrorText();
  std::string etag, modified;
  ASSERT_EQ(client.Config("LastETag", &etag), 0);
  ASSERT_EQ(client.Config("LastModified", &modified), 0);
  EXPECT_THAT(etag, testing::MatchesRegex("\"[0-9a-f]+-[0-9a-f]+\""));
  EXPECT_EQ(modified, "Tue, 14 Nov 2023 22:13:20 GMT");
  EXPECT_EQ(client.Config("LastETag=x"), -1);  // read only

  ASSERT_EQ(client.Config("IfNoneMatch=" + etag), 0);
  EXPECT_EQ(client.Get(nginx->TlsUrl("/feed.xml")), kErrHttp);
  EXPECT_EQ(client.LastErrorText(), "Not Modified");
  EXPECT_EQ(client.Response().StatusCode(), 304);
  EXPECT_EQ(client.TransferredData(), "");
  ASSERT_EQ(client.Config("LastETag", &etag), 0);
  EXPECT_THAT(etag, testing::StartsWith("\""));  // a 304 carries its validators too
  const auto log = nginx->WaitForAccessLog(2);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[1].status, 304);
  EXPECT_EQ(log[1].ifNoneMatch, etag);
}

TEST_F(SecureFeeds, AGzipBombFromAHostileServerIsStoppedAtTheBound) {
  const std::string bomb = vk_test::Compress(std::string(16 * 1024 * 1024, 'A'), vk_test::kGzip);
  ScriptedServer server({ScriptedServer::Script()
                             .Receive(1, 5000)
                             .Send("HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: " +
                                   std::to_string(bomb.size()) + "\r\n\r\n" + bomb)
                             .Pause(2000)});
  TestClient client;
  client.SetMaxTransferredData(0);
  ASSERT_EQ(client.Config("AcceptEncoding=gzip"), 0);
  EXPECT_EQ(client.Get("http://127.0.0.1:" + Port(server.Port()) + "/feed.xml"), kErrHttp);
  EXPECT_EQ(client.LastErrorText(), "The response body decodes to more than 200 times its size; decoding stopped.");
  EXPECT_LE(client.TransferredData().size(), DecoderLimits{}.ratioFloorBytes + ContentDecoder::kPieceBytes);
  EXPECT_FALSE(client.Connected());
}

}  // namespace
}  // namespace rssvane
