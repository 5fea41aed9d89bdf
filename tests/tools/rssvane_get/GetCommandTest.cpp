// rssvane get, fetch and put against scripted servers on 127.0.0.1: the body
// on standard output byte for byte, the options as the server sees them, the
// events on standard error, and the exit statuses.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "Nginx.h"
#include "Proxies.h"
#include "ScriptedServer.h"
#include "TestCa.h"

namespace {

using vk_test::ScriptedServer;
using Script = ScriptedServer::Script;

struct Outcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs the tool's command (get unless named) with words, each quoted for
// the shell.
Outcome Get(const std::vector<std::string>& words, const std::string& name = "get") {
  char dir[] = "/tmp/rssgetXXXXXX";
  std::string base = ::mkdtemp(dir);
  std::string command = std::string(RSSVANE_TOOL) + " " + name;
  for (const std::string& word : words) command += " '" + word + "'";
  command += " >" + base + "/out 2>" + base + "/err </dev/null";
  int status = std::system(command.c_str());
  Outcome run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(base + "/out"), Slurp(base + "/err")};
  std::system(("rm -rf '" + base + "'").c_str());
  return run;
}

Script Answering(std::string response) {
  return Script().Answer([response](const std::string&) { return response; }, 5000);
}

std::string Address(const ScriptedServer& server) { return "127.0.0.1:" + std::to_string(server.Port()); }

TEST(RssvaneGet, WritesTheBodyByteForByteWithTheOptionsAsTheServerSeesThem) {
  const std::string body("<rss>\0\r\n\xff\xfe caf\xc3\xa9</rss>", 19);
  ScriptedServer proxy({Answering("HTTP/1.1 200 OK\r\nContent-Length: 19\r\n\r\n" + body)});
  Outcome run = Get({"--proxy", Address(proxy), "--proxy-user", "pu", "--proxy-password", "pp", "--user", "u",
                 "--password", "p", "--keep-alive", "--config", "UserAgent=first", "--config", "UserAgent=vk-test",
                 "http://origin.example/feed.xml"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, body);
  ASSERT_TRUE(proxy.WaitFinished(1, 5000));
  EXPECT_EQ(proxy.Received(0),
            "GET http://origin.example/feed.xml HTTP/1.1\r\nHost: origin.example\r\nAuthorization: Basic dTpw\r\n"
            "Proxy-Authorization: Basic cHU6cHA=\r\nAccept-Encoding: gzip, deflate\r\nUser-Agent: vk-test\r\n\r\n");
}

TEST(RssvaneGet, FollowsRedirectsAndPrintsEventsAsTheScriptHostDoes) {
  ScriptedServer server({
      Answering("HTTP/1.1 302 Found\r\nLocation: /there\r\nContent-Length: 0\r\n\r\n"),
      Answering("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"),
  });
  Outcome run = Get({"--follow", "always", "--events", "--timeout", "5", "http://" + Address(server) + "/here"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "ok");
  EXPECT_NE(run.err.find("{\"event\":\"Redirect\",\"args\":{\"Location\":\"/there\",\"Accept\":true}}\n"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("{\"event\":\"Transfer\",\"args\":{\"BytesTransferred\":2,\"Text\":\"ok\"}}\n"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("rssvane:"), std::string::npos);
}

TEST(RssvaneGet, GoesThroughAFirewallOfEachKind) {
  vk::test::Nginx origin;
  origin.WriteDocument("feed.xml", "<rss/>");
  vk::test::Microsocks socks({"alice", "wonderland"});
  vk::test::Tinyproxy tunnel;
  const std::string url = origin.Url("/feed.xml");
  const std::string socksAt = "127.0.0.1:" + std::to_string(socks.Port());
  for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
           {"--firewall", "socks5://alice:wonderland@" + socksAt, url},
           {"--firewall", "socks5://" + socksAt, "--proxy-user", "alice", "--proxy-password", "wonderland", url},
           {"--firewall", "tunnel://127.0.0.1:" + std::to_string(tunnel.Port()), url}}) {
    Outcome run = Get(words);
    EXPECT_EQ(run.exitCode, 0) << words[1] << ": " << run.err;
    EXPECT_EQ(run.out, "<rss/>");
  }
  EXPECT_EQ(origin.WaitForAccessLog(3).size(), 3u);
  Outcome refused = Get({"--firewall", "socks5://alice:wrong@" + socksAt, url});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_TRUE(refused.err.starts_with("rssvane: error 20119: ")) << refused.err;
}

TEST(RssvaneGet, HttpsCompressedBodiesAndNotModifiedForPolitePolling) {
  vk::test::TestCa ca;
  vk::test::Nginx nginx({.tlsCertificate = ca.Localhost().certificate, .tlsKey = ca.Localhost().key});
  std::string feed = "<rss version=\"2.0\"><channel>";
  for (int i = 0; i < 500; ++i) feed += "<item><title>Item " + std::to_string(i) + "</title></item>";
  feed += "</channel></rss>";
  nginx.WriteDocument("feed.xml", feed);
  nginx.SetModified("feed.xml", 1700000000);
  const std::string url = nginx.TlsUrl("/gzip/feed.xml");

  Outcome fetched = Get({"--ca-file", ca.CaCertificate(), url});
  EXPECT_EQ(fetched.exitCode, 0) << fetched.err;
  EXPECT_EQ(fetched.err, "");
  EXPECT_EQ(fetched.out, feed);
  // nginx's ETag is its time and length in hexadecimal.
  char etag[64];
  std::snprintf(etag, sizeof etag, "\"%x-%zx\"", 1700000000u, feed.size());
  for (const std::vector<std::string>& validator : std::vector<std::vector<std::string>>{
           {"--if-none-match", etag}, {"--if-modified-since", "Tue, 14 Nov 2023 22:13:20 GMT"}}) {
    Outcome unchanged = Get({"--ca-file", ca.CaCertificate(), validator[0], validator[1], url});
    EXPECT_EQ(unchanged.exitCode, 3) << unchanged.err;
    EXPECT_EQ(unchanged.out, "");
    EXPECT_EQ(unchanged.err, "");
  }
  const auto log = nginx.WaitForAccessLog(3);
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].acceptEncoding, "gzip, deflate");
  EXPECT_LT(log[0].bodyBytes, static_cast<long>(feed.size()) / 5);
  EXPECT_EQ(log[1].ifNoneMatch, etag);
  EXPECT_EQ(log[2].status, 304);

  // The system's store does not know the test CA; --insecure takes any
  // certificate, and says so.
  Outcome untrusted = Get({url});
  EXPECT_EQ(untrusted.exitCode, 1);
  EXPECT_EQ(untrusted.err,
            "rssvane: error 20120: TLS certificate verification failed for localhost: unable to get local issuer "
            "certificate\n");
  for (const std::vector<std::string>& off : std::vector<std::vector<std::string>>{
           {"--insecure", "--accept-encoding", "", url}, {"--config", "TlsVerify=0", "--accept-encoding", "", url}}) {
    Outcome insecure = Get(off);
    EXPECT_EQ(insecure.exitCode, 0) << insecure.err;
    EXPECT_EQ(insecure.out, feed);
    EXPECT_EQ(insecure.err,
              "rssvane: warning: TLS certificate verification is off; an https server's identity is not checked\n");
  }
  EXPECT_EQ(nginx.WaitForAccessLog(5).back().acceptEncoding, "");

  // fetch reads the same compressed https feed into the model, and polls as get does.
  Outcome model = Get({"--ca-file", ca.CaCertificate(), url}, "fetch");
  EXPECT_EQ(model.exitCode, 0) << model.err;
  EXPECT_NE(model.out.find("Item 499"), std::string::npos);
  Outcome same = Get({"--ca-file", ca.CaCertificate(), "--if-none-match", etag, url}, "fetch");
  EXPECT_EQ(same.exitCode, 3) << same.err;
  EXPECT_EQ(same.out, "");
}

TEST(RssvaneGet, FailuresAndWrongUsageHaveTheirExitStatus) {
  ScriptedServer server({Answering("HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone")});
  Outcome missing = Get({"http://" + Address(server) + "/feed.xml"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.out, "") << "a failure writes no document";
  EXPECT_EQ(missing.err, "rssvane: error 20152: Not Found\n");

  Outcome refused = Get({"--config", "NoSuchSetting=1", "http://" + Address(server) + "/"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.err, "rssvane: error 20000: Unknown config setting.\n");

  for (const std::vector<std::string>& words :
       std::vector<std::vector<std::string>>{{}, {"--bogus", "http://h/"}, {"--follow", "sometimes", "http://h/"},
                                             {"--timeout", "-1", "http://h/"}, {"--proxy", "nohost", "http://h/"},
                                             {"--firewall", "http://h:1", "http://h/"}, {"http://a/", "http://b/"},
                                             {"--user"}}) {
    Outcome wrong = Get(words);
    EXPECT_EQ(wrong.exitCode, 2) << words.size();
    EXPECT_EQ(wrong.out, "");
    EXPECT_TRUE(wrong.err.starts_with("rssvane get: ")) << wrong.err;
    EXPECT_EQ(wrong.err.find('\n'), wrong.err.size() - 1) << "one line: " << wrong.err;
  }
  EXPECT_EQ(server.Connections(), 1);
}

// fetch prints what dump prints for the same document; a document it cannot
// read is a failure with nothing written.
TEST(RssvaneFetch, PrintsTheFeedAsDumpDoesAndFailsOnADocumentItCannotRead) {
  const std::string feed =
      "<rss version=\"2.0\"><channel><title>T\xc3\xa9</title><item><title>a</title></item></channel></rss>";
  ScriptedServer server({Answering("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(feed.size()) + "\r\n\r\n" +
                                   feed),
                         Answering("HTTP/1.1 200 OK\r\nContent-Length: 12\r\n\r\n<rss><x></y>")});
  char dir[] = "/tmp/rssfetchXXXXXX";
  const std::string file = std::string(::mkdtemp(dir)) + "/feed.xml";
  std::ofstream(file, std::ios::binary) << feed;
  Outcome dump = Get({file}, "dump");
  std::system(("rm -rf '" + std::string(dir) + "'").c_str());
  ASSERT_EQ(dump.exitCode, 0) << dump.err;

  Outcome run = Get({"http://" + Address(server) + "/feed.xml"}, "fetch");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, dump.out);
  Outcome broken = Get({"http://" + Address(server) + "/broken.xml"}, "fetch");
  EXPECT_EQ(broken.exitCode, 1);
  EXPECT_EQ(broken.out, "");
  EXPECT_TRUE(broken.err.starts_with("rssvane: error ")) << broken.err;
}

// put sends the file's bytes exactly as they are, not the feed written anew,
// and prints the answer; a file it cannot read reaches no server.
TEST(RssvanePut, SendsTheFileAsItIsAndPrintsTheAnswer) {
  const std::string feed = "<rss   version=\"2.0\" >\n<channel><title>as written</title></channel></rss>\n";
  std::mutex mutex;
  std::string request;
  ScriptedServer server({Script().Answer(
      [&](const std::string& received) {
        std::lock_guard<std::mutex> lock(mutex);
        request = received;
        return std::string("HTTP/1.1 201 Created\r\nContent-Length: 7\r\n\r\nstored\n");
      },
      5000)});
  char dir[] = "/tmp/rssputXXXXXX";
  const std::string base = ::mkdtemp(dir);
  std::ofstream(base + "/feed.xml", std::ios::binary) << feed;
  Outcome run =
      Get({"--config", "HTTPVersion=1.1", "http://" + Address(server) + "/dav/feed.xml", base + "/feed.xml"}, "put");
  Outcome missing = Get({"http://" + Address(server) + "/dav/feed.xml", base + "/none.xml"}, "put");
  Outcome usage = Get({"http://" + Address(server) + "/dav/feed.xml"}, "put");
  std::system(("rm -rf '" + base + "'").c_str());
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "stored\n");
  ASSERT_TRUE(server.WaitFinished(1, 5000));
  std::lock_guard<std::mutex> lock(mutex);
  EXPECT_TRUE(request.starts_with("PUT /dav/feed.xml HTTP/1.1\r\n")) << "--config applies to the request: " << request;
  EXPECT_TRUE(request.ends_with("\r\nContent-Length: " + std::to_string(feed.size()) + "\r\n\r\n" + feed)) << request;
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_TRUE(missing.err.starts_with("rssvane: error ")) << missing.err;
  EXPECT_EQ(usage.exitCode, 2);
  EXPECT_TRUE(usage.err.starts_with("rssvane put: ")) << usage.err;
  EXPECT_EQ(server.Connections(), 1);
}

// Ctrl-C in the middle of a body ends each command with 301, the error line
// and nothing written, and the connection closed.
TEST(RssvaneTransfer, AnInterruptEndsTheCommandWithItsErrorAndClosesTheConnection) {
  char dir[] = "/tmp/rssintXXXXXX";
  const std::string base = ::mkdtemp(dir);
  std::ofstream(base + "/feed.xml", std::ios::binary) << "<rss version=\"2.0\"><channel/></rss>";
  for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
           {"get"}, {"fetch"}, {"put", base + "/feed.xml"}}) {
    ScriptedServer server({Script()
                               .Answer([](const std::string&) { return std::string("HTTP/1.1 200 OK\r\nContent-Length: "
                                                                                   "100\r\n\r\n<rss>"); },
                                       5000)
                               .ReceiveUntilClosed(10000)});
    const std::string url = "http://" + Address(server) + "/feed.xml";
    const int outFd = ::open((base + "/out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int errFd = ::open((base + "/err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_TRUE(outFd >= 0 && errFd >= 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Only calls safe after a fork with threads: the paths were made before.
      if (::dup2(outFd, STDOUT_FILENO) < 0 || ::dup2(errFd, STDERR_FILENO) < 0) ::_exit(99);
      if (words.size() == 1) {
        ::execl(RSSVANE_TOOL, RSSVANE_TOOL, words[0].c_str(), url.c_str(), static_cast<char*>(nullptr));
      } else {
        ::execl(RSSVANE_TOOL, RSSVANE_TOOL, words[0].c_str(), url.c_str(), words[1].c_str(),
                static_cast<char*>(nullptr));
      }
      ::_exit(98);
    }
    // The request has been answered in part once the server has read it.
    for (int i = 0; i < 500 && server.Connections() == 0; ++i) ::usleep(10000);
    ::usleep(200000);
    ::kill(child, SIGINT);
    int status = 0;
    pid_t ended = 0;
    for (int i = 0; i < 500 && (ended = ::waitpid(child, &status, WNOHANG)) == 0; ++i) ::usleep(10000);
    if (ended == 0) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
    }
    ::close(outFd);
    ::close(errFd);
    ASSERT_EQ(ended, child) << words[0] << " did not end";
    EXPECT_TRUE(WIFEXITED(status)) << words[0];
    EXPECT_EQ(WEXITSTATUS(status), 1) << words[0];
    EXPECT_EQ(Slurp(base + "/out"), "") << words[0];
    EXPECT_EQ(Slurp(base + "/err"), "rssvane: error 20302: Interrupted.\n") << words[0];
    EXPECT_TRUE(server.WaitFinished(1, 3000)) << words[0] << ": the connection was closed";
  }
  std::system(("rm -rf '" + base + "'").c_str());
}

}  // namespace
