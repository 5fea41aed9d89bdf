#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ControlTestSupport.h"
#include "ScriptSession.h"
#include "ScriptedServer.h"
#include "control/EventConnections.h"
#include "control/RSSImpl.h"
#include "rssvane/MessageLoop.h"

namespace rssvane {
namespace {

using vk_test::ScriptedServer;
using Lines = std::vector<std::string>;

// An early-bound sink that writes what it hears to a shared log.
class Sink : public _IRSSEvents {
 public:
  Sink(std::string name, Lines& log) : name_(std::move(name)), log_(log) {}
  std::function<void(int16_t&, std::u16string&)> onConnected;

  void Connected(int16_t& code, std::u16string& text) override {
    log_.push_back(name_ + " Connected " + std::to_string(code) + " " + Utf8(text));
    if (onConnected) onConnected(code, text);
  }
  void ConnectionStatus(std::u16string& event, int16_t& code, std::u16string&) override {
    log_.push_back(name_ + " ConnectionStatus " + Utf8(event) + " " + std::to_string(code));
  }
  void Disconnected(int16_t& code, std::u16string&) override {
    log_.push_back(name_ + " Disconnected " + std::to_string(code));
  }

 private:
  std::string name_;
  Lines& log_;
};

// A late-bound sink: what it receives, and what it writes back.
class LateSink : public EventDispatch {
 public:
  std::vector<std::pair<int32_t, std::vector<Variant>>> heard;
  std::vector<Variant> replies;
  void Invoke(int32_t dispId, std::vector<Variant>& args) override {
    heard.emplace_back(dispId, args);
    for (size_t i = 0; i < replies.size() && i < args.size(); ++i) {
      if (!replies[i].IsEmpty()) args[i] = replies[i];
    }
  }
};

TEST(Events, SinksHearEachEventInConnectionOrderAndMayDisconnectDuringIt) {
  TextSettings text;
  EventConnections events(text);
  Lines log;
  Sink a("a", log), b("b", log), c("c", log), d("d", log);
  uint32_t ca = events.Advise(&a);
  uint32_t cb = events.Advise(&b);
  uint32_t cc = events.Advise(&c);
  EXPECT_EQ(events.Advise(static_cast<_IRSSEvents*>(nullptr)), 0u);
  EXPECT_NE(ca, cb);
  // b removes itself and c, and connects d, which hears only later events.
  b.onConnected = [&](int16_t&, std::u16string&) {
    EXPECT_TRUE(events.Unadvise(cb));
    EXPECT_TRUE(events.Unadvise(cc));
    events.Advise(&d);
  };
  int16_t code = 0;
  std::string description = "OK";
  events.FireConnected(code, description);
  EXPECT_EQ(log, (Lines{"a Connected 0 OK", "b Connected 0 OK"}));
  log.clear();
  events.FireConnected(code, description);
  EXPECT_EQ(log, (Lines{"a Connected 0 OK", "d Connected 0 OK"}));
  EXPECT_FALSE(events.Unadvise(cb));
}

TEST(Events, ArgumentsAreByReferenceForTheSinksAfterAndForTheCaller) {
  TextSettings text;
  text.SetCodePage(1252);
  EventConnections events(text);
  Lines log;
  Sink first("first", log), second("second", log);
  first.onConnected = [](int16_t& code, std::u16string& description) {
    EXPECT_EQ(description, u"caf\u00e9");
    code = 7;
    description = u"\u00fcber";
  };
  events.Advise(&first);
  events.Advise(&second);
  LateSink late;
  events.Advise(&late);
  int16_t code = 0;
  std::string description = "caf\xE9";
  events.FireConnected(code, description);
  EXPECT_EQ(log[1], "second Connected 7 \xC3\xBC" "ber");
  ASSERT_EQ(late.heard.size(), 1u);
  EXPECT_EQ(late.heard[0].first, kEventConnected);
  EXPECT_EQ(late.heard[0].second, (std::vector<Variant>{Variant(int16_t{7}), Variant(u"\u00fcber")}));
  EXPECT_EQ(code, 7);
  EXPECT_EQ(description, "\xFC" "ber");  // back in the code page

  // A late-bound sink's reply is coerced to the argument's type; one that
  // does not coerce leaves the argument alone.
  late.replies = {Variant(u"x"), Variant(true)};
  std::string location = "http://a/";
  bool accept = false;
  events.FireRedirect(location, accept);
  EXPECT_EQ(late.heard.back().first, kEventRedirect);
  EXPECT_EQ(location, "x");
  EXPECT_TRUE(accept);
  late.replies = {Variant(u"not a number"), Variant(u"y")};
  int32_t count = 5;
  std::string bytes = "abc";
  events.FireTransfer(count, bytes);
  EXPECT_EQ(count, 5);
  EXPECT_EQ(bytes, "y");

  const EventInfo* info = FindEvent(kEventSetCookie);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->name, u"SetCookie");
  EXPECT_EQ(info->parameterCount, 6u);
  EXPECT_EQ(info->parameters[5], u"Secure");
  EXPECT_EQ(FindEvent(12), nullptr);
}

// A control pointed at a server of the test.
void Target(RSS& rss, uint16_t port) {
  TcpConnection& net = ImplOf(rss).net;
  ASSERT_EQ(net.SetRemoteHost("127.0.0.1"), 0);
  ASSERT_EQ(net.SetRemotePort(port), 0);
}

bool PumpUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 500 && !done(); ++i) PumpMessages(10);
  return done();
}

TEST(Events, TheControlsConnectionProperties) {
  RSS rss;
  EXPECT_EQ(rss.Timeout(), 60);
  rss.SetTimeout(-1);
  EXPECT_EQ(rss.Invoke(u"timeout", RSS::DispatchKind::kPropertyGet, {}), Variant(int16_t{-1}));
  EXPECT_FALSE(rss.Connected());
  Raised refused = RaisedBy([&] { rss.SetConnected(true); });
  EXPECT_EQ(refused.number, 20103);
  EXPECT_EQ(refused.description, u"The RemoteHost address is invalid (0.0.0.0).");
  EXPECT_EQ(refused.helpContext, 25915u);
  EXPECT_EQ(rss.Config(u"WinsockLoaded"), u"True");
  EXPECT_EQ(RaisedBy([&] { rss.Config(u"WinsockStatus=Up"); }).number, 20000);
  rss.Config(u"MaxLineLength=100000");
  EXPECT_EQ(rss.Config(u"MaxLineLength"), u"65536");
  rss.SetDesignMode(true);
  EXPECT_EQ(RaisedBy([&] { rss.Connected(); }).number, 394);
}

TEST(Events, TheControlFiresItsConnectionEventsToItsSinks) {
  ScriptedServer server({ScriptedServer::Script().ReceiveUntilClosed(3000)});
  RSS rss;
  Lines log;
  Sink sink("s", log);
  rss.Advise(&sink);
  Target(rss, server.Port());
  rss.Invoke(u"Connected", RSS::DispatchKind::kPropertyPut, {Variant(true)});
  ASSERT_TRUE(PumpUntil([&] { return rss.Connected(); }));
  rss.SetConnected(false);  // the events fire during the call
  EXPECT_EQ(log, (Lines{"s ConnectionStatus Remote host connection complete. 0", "s Connected 0 OK",
                        "s ConnectionStatus Remote host disconnected. 0", "s Disconnected 0"}));
}

TEST(Events, ASinkMayDestroyTheControlFromInsideAnEvent) {
  ScriptedServer server({ScriptedServer::Script().ReceiveUntilClosed(3000)});
  auto rss = std::make_unique<RSS>();
  Lines log;
  Sink killer("killer", log), after("after", log);
  killer.onConnected = [&](int16_t&, std::u16string&) { rss.reset(); };
  rss->Advise(&killer);
  rss->Advise(&after);
  Target(*rss, server.Port());
  rss->SetConnected(true);
  ASSERT_TRUE(PumpUntil([&] { return rss == nullptr; }));
  PumpMessages(20);
  EXPECT_EQ(log, (Lines{"killer ConnectionStatus Remote host connection complete. 0", "after ConnectionStatus Remote host connection complete. 0",
                        "killer Connected 0 OK"}));
  EXPECT_TRUE(server.WaitFinished(1, 3000));  // the socket went with the control
}

TEST(Events, TheScriptHostPrintsEventsBeforeTheAnswerOfTheirCall) {
  ScriptedServer server({ScriptedServer::Script().ReceiveUntilClosed(3000)});
  RSS rss;
  rssvane_tool::ScriptSession session(rss);
  Target(rss, server.Port());
  EXPECT_EQ(session.Answer(R"({"set":"Connected","value":true})"), R"({"ok":true,"value":null})");
  std::string pumped;
  for (int i = 0; i < 50 && pumped.find("\"Connected\"") == std::string::npos; ++i) {
    pumped += session.Answer(R"({"pump":20})") + "\n";
  }
  EXPECT_NE(pumped.find("{\"event\":\"ConnectionStatus\",\"args\":{\"ConnectionEvent\":\"Remote host connection "
                        "complete.\",\"StatusCode\":0,\"Description\":\"OK\"}}\n"
                        "{\"event\":\"Connected\",\"args\":{\"StatusCode\":0,\"Description\":\"OK\"}}\n"
                        "{\"ok\":true,\"value\":null}\n"),
            std::string::npos)
      << pumped;
  EXPECT_EQ(session.Answer(R"({"set":"Connected","value":false})"),
            "{\"event\":\"ConnectionStatus\",\"args\":{\"ConnectionEvent\":\"Remote host disconnected.\","
            "\"StatusCode\":0,\"Description\":\"OK\"}}\n"
            "{\"event\":\"Disconnected\",\"args\":{\"StatusCode\":0,\"Description\":\"OK\"}}\n"
            "{\"ok\":true,\"value\":null}");
  EXPECT_EQ(session.Answer(R"({"pump":-1})"),
            R"({"ok":false,"number":0,"description":"\"pump\" must be a whole number of milliseconds."})");
  EXPECT_EQ(session.Answer(R"({"pump":1,"get":"Timeout"})"),
            R"({"ok":false,"number":0,"description":"A pump request takes nothing else."})");
}

}  // namespace
}  // namespace rssvane
