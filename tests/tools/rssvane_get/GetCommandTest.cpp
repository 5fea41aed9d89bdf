// rssvane get against scripted servers on 127.0.0.1: the body on standard
// output byte for byte, the options as the server sees them, the events on
// standard error, and the exit statuses.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Nginx.h"
#include "Proxies.h"
#include "ScriptedServer.h"

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

// Runs the tool with words, each quoted for the shell.
Outcome Get(const std::vector<std::string>& words) {
  char dir[] = "/tmp/rssgetXXXXXX";
  std::string base = ::mkdtemp(dir);
  std::string command = std::string(RSSVANE_TOOL) + " get";
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
            "Proxy-Authorization: Basic cHU6cHA=\r\nUser-Agent: vk-test\r\n\r\n");
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

}  // namespace
