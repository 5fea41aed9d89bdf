// The control's HTTP members as a host meets them: values, ranges and
// defaults, GetURL with its events, and failures as automation errors.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ControlTestSupport.h"
#include "ScriptSession.h"
#include "ScriptedServer.h"
#include "rssvane/RSS.h"

namespace rssvane {
namespace {

using vk_test::ScriptedServer;
using Kind = RSS::DispatchKind;

ScriptedServer::Script Answering(std::string response) {
  return ScriptedServer::Script().Answer([response](const std::string&) { return response; }, 5000);
}

std::string NarrowUrl(const ScriptedServer& server, std::string_view path) {
  return "http://127.0.0.1:" + std::to_string(server.Port()) + std::string(path);
}

std::u16string Url(const ScriptedServer& server, std::string_view path) {
  std::string url = NarrowUrl(server, path);
  return std::u16string(url.begin(), url.end());
}

TEST(HttpMembers, ValuesRangesAndDefaults) {
  RSS rss;
  EXPECT_EQ(rss.Accept(), u"");
  rss.SetAccept(u"application/rss+xml");
  EXPECT_EQ(rss.Invoke(u"accept", Kind::kPropertyGet, {}), Variant(u"application/rss+xml"));
  EXPECT_EQ(rss.AuthScheme(), authBasic);
  rss.Invoke(u"AuthScheme", Kind::kPropertyPut, {Variant(int32_t{authDigest})});
  EXPECT_EQ(rss.AuthScheme(), authDigest);
  Raised range = RaisedBy([&] { rss.SetAuthScheme(2); });
  EXPECT_EQ(range.number, 380);
  EXPECT_EQ(range.description, u"Value is out of range.");
  EXPECT_EQ(range.helpContext, 25902u);
  EXPECT_EQ(rss.FollowRedirects(), frNever);
  rss.SetFollowRedirects(frSameScheme);
  EXPECT_EQ(rss.Invoke(u"FollowRedirects", Kind::kPropertyGet, {}), Variant(int32_t{frSameScheme}));
  EXPECT_EQ(RaisedBy([&] { rss.SetFollowRedirects(3); }).number, 380);
  EXPECT_TRUE(rss.Idle());
  EXPECT_EQ(RaisedBy([&] { rss.Invoke(u"Idle", Kind::kPropertyPut, {Variant(false)}); }).number, 383);
  rss.SetUser(u"alice");
  rss.Invoke(u"password", Kind::kPropertyPut, {Variant(u"wonderland")});
  EXPECT_EQ(rss.User(), u"alice");
  EXPECT_EQ(rss.Password(), u"wonderland");
  Raised split = RaisedBy([&] { rss.SetUser(u"alice\r\nX-Injected: 1"); });
  EXPECT_EQ(split.number, 20152);
  EXPECT_EQ(split.description, u"Invalid User: it holds a control character.");
  EXPECT_EQ(rss.User(), u"alice");
  rss.Config(u"ProxyUser=gate");
  rss.Config(u"ProxyPassword=keeper");
  EXPECT_EQ(rss.FirewallUser(), u"gate") << "the proxy's credentials are the firewall's";
  EXPECT_EQ(rss.FirewallPassword(), u"keeper");
  EXPECT_EQ(rss.Config(u"ProxyAuthorization"), u"Basic Z2F0ZTprZWVwZXI=");

  // The control's own network defaults, and what Reset restores.
  EXPECT_EQ(rss.Config(u"HTTPVersion"), u"1.1");
  EXPECT_EQ(rss.Config(u"MaxTransferredData"), u"0");
  rss.Reset();
  EXPECT_EQ(rss.Config(u"HTTPVersion"), u"1.0");
}

// A sink that tries a second network call from inside a transfer.
class Reentrant : public _IRSSEvents {
 public:
  explicit Reentrant(RSS& rss) : rss_(rss) {}
  Raised raised;
  bool idle = true;
  void Transfer(int32_t&, std::u16string&) override {
    idle = rss_.Idle();
    raised = RaisedBy([&] { rss_.GetURL(u"http://127.0.0.1:1/"); });
  }

 private:
  RSS& rss_;
};

TEST(HttpMembers, GetURLFetchesTheBodyIntoRSSDataAndFailsAsTheHostSees) {
  ScriptedServer server({
      Answering("HTTP/1.1 200 OK\r\nContent-Length: 16\r\n\r\n<rss>caf\xc3\xa9</rss>"),
      Answering("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"),
  });
  RSS rss;
  Reentrant sink(rss);
  rss.Advise(&sink);
  rss.GetURL(Url(server, "/feed.xml"));
  EXPECT_EQ(rss.RSSData(), u"<rss>caf\u00e9</rss>");
  EXPECT_EQ(rss.ItemCount(), 0) << "GetURL leaves the model alone";
  EXPECT_FALSE(sink.idle);
  EXPECT_EQ(sink.raised.number, 20144);
  EXPECT_EQ(sink.raised.description, u"Busy performing current action.");

  Raised notFound = RaisedBy([&] { rss.GetURL(Url(server, "/gone.xml")); });
  EXPECT_EQ(notFound.number, 20152);
  EXPECT_EQ(notFound.description, u"Not Found");
  EXPECT_EQ(notFound.helpContext, 45906u);
  EXPECT_EQ(rss.RSSData(), u"<rss>caf\u00e9</rss>") << "a failure keeps the document";
}

// A sink that lets the control go in the middle of a transfer.
class Destroyer : public _IRSSEvents {
 public:
  std::unique_ptr<RSS>* rss = nullptr;
  void StartTransfer() override { rss->reset(); }
};

TEST(HttpMembers, ASinkMayDestroyTheControlWhileANetworkMethodRuns) {
  ScriptedServer server({Answering("HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\n<rss/>")});
  for (void (RSS::*method)(std::u16string_view) : {&RSS::GetURL, &RSS::GetFeed, &RSS::Put}) {
    auto rss = std::make_unique<RSS>();
    Destroyer sink;
    sink.rss = &rss;
    rss->Advise(&sink);
    RSS* control = rss.get();
    Raised raised = RaisedBy([&] { (control->*method)(Url(server, "/")); });
    EXPECT_EQ(rss, nullptr);
    EXPECT_EQ(raised.number, 20302);
    EXPECT_EQ(raised.description, u"Interrupted.");
  }
}

TEST(HttpMembers, TheScriptHostReachesGetURLAndPrintsItsEvents) {
  ScriptedServer server({Answering("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nhi")});
  RSS rss;
  rssvane_tool::ScriptSession session(rss);
  std::string out = session.Answer(R"({"call":"GetURL","args":[")" + NarrowUrl(server, "/") + R"("]})");
  ASSERT_NE(out.find("{\"event\":\"Status\""), std::string::npos) << out;
  EXPECT_EQ(out.substr(out.find("{\"event\":\"Status\"")),
            "{\"event\":\"Status\",\"args\":{\"HTTPVersion\":\"HTTP/1.0\",\"StatusCode\":200,\"Description\":\"OK\"}}\n"
            "{\"event\":\"Header\",\"args\":{\"Field\":\"Content-Length\",\"Value\":\"2\"}}\n"
            "{\"event\":\"StartTransfer\",\"args\":{}}\n"
            "{\"event\":\"Transfer\",\"args\":{\"BytesTransferred\":2,\"Text\":\"hi\"}}\n"
            "{\"event\":\"EndTransfer\",\"args\":{}}\n"
            "{\"event\":\"ConnectionStatus\",\"args\":{\"ConnectionEvent\":\"Remote host disconnected.\","
            "\"StatusCode\":0,\"Description\":\"OK\"}}\n"
            "{\"event\":\"Disconnected\",\"args\":{\"StatusCode\":0,\"Description\":\"OK\"}}\n"
            "{\"ok\":true,\"value\":null}");
  EXPECT_EQ(session.Answer(R"({"get":"RSSData"})"), R"({"ok":true,"value":"hi"})");
}

}  // namespace
}  // namespace rssvane
