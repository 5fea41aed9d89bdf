// The control's firewall properties, early and late bound and from the
// script host.
#include <gtest/gtest.h>

#include <string>

#include "ControlTestSupport.h"
#include "ScriptSession.h"

namespace rssvane {
namespace {

using Kind = RSS::DispatchKind;

TEST(Firewall, PropertiesFollowTheirRules) {
  RSS rss;
  EXPECT_EQ(rss.FirewallType(), fwNone);
  EXPECT_EQ(rss.FirewallPort(), 80);
  EXPECT_EQ(rss.FirewallHost(), u"");
  EXPECT_EQ(rss.FirewallUser(), u"");
  EXPECT_EQ(rss.FirewallPassword(), u"");

  rss.SetFirewallType(fwSOCKS4);
  EXPECT_EQ(rss.FirewallPort(), 1080);
  for (int outside : {4, -1}) {
    Raised range = RaisedBy([&] { rss.SetFirewallType(outside); });
    EXPECT_EQ(range.hresult, 0x800A017Cu);
    EXPECT_EQ(range.description, u"Value is out of range.");
    EXPECT_EQ(range.helpContext, 25900u + 19);
  }
  EXPECT_EQ(rss.FirewallType(), fwSOCKS4);
  rss.SetFirewallPort(3128);
  rss.SetFirewallType(fwTunnel);
  EXPECT_EQ(rss.FirewallPort(), 80);
  Raised port = RaisedBy([&] { rss.SetFirewallPort(70000); });
  EXPECT_EQ(port.number, 20117);
  EXPECT_EQ(port.description, u"FirewallPort must be a service port number up to 65535.");
  EXPECT_EQ(port.helpContext, 25900u + 18);
  EXPECT_EQ(rss.FirewallPort(), 80);

  rss.SetFirewallHost(u"localhost");
  EXPECT_EQ(rss.FirewallHost(), u"127.0.0.1");
  rss.SetFirewallHost(u"");
  EXPECT_EQ(rss.FirewallHost(), u"");

  // At most 255 bytes, cut after a whole character.
  rss.Config(u"CodePage=65001");
  rss.SetFirewallUser(std::u16string(300, u'u'));
  EXPECT_EQ(rss.FirewallUser(), std::u16string(255, u'u'));
  rss.SetFirewallUser(std::u16string(200, u'\u00e9'));
  EXPECT_EQ(rss.FirewallUser(), std::u16string(127, u'\u00e9'));
  std::u16string smiles;
  for (int i = 0; i < 100; ++i) smiles += u"\U0001F600";
  rss.SetFirewallPassword(smiles);
  EXPECT_EQ(rss.FirewallPassword(), smiles.substr(0, 2 * 63));
  rss.SetFirewallPassword(u"pw");
  EXPECT_EQ(rss.FirewallPassword(), u"pw");
}

TEST(Firewall, PropertiesAreReachedByDispId) {
  RSS rss;
  rss.Invoke(19, Kind::kPropertyPut, {Variant(u"3")});
  rss.Invoke(16, Kind::kPropertyPut, {Variant(u"127.0.0.1")});
  rss.Invoke(20, Kind::kPropertyPut, {Variant(u"me")});
  rss.Invoke(17, Kind::kPropertyPut, {Variant(u"pw")});
  EXPECT_EQ(rss.Invoke(18, Kind::kPropertyGet, {}), Variant(int32_t{1080}));
  EXPECT_EQ(rss.FirewallType(), fwSOCKS5);
  EXPECT_EQ(rss.FirewallHost(), u"127.0.0.1");
  EXPECT_EQ(rss.FirewallUser(), u"me");
  EXPECT_EQ(rss.FirewallPassword(), u"pw");
}

TEST(Firewall, TheScriptHostReachesThePropertiesAndConnectsToTheFirewall) {
  RSS rss;
  rssvane_tool::ScriptSession session(rss);
  EXPECT_EQ(session.Answer(R"({"set":"FirewallType","value":4})"),
            R"({"ok":false,"number":380,"description":"Value is out of range."})");
  EXPECT_EQ(session.Answer(R"({"set":"FirewallType","value":3})"), R"({"ok":true,"value":null})");
  EXPECT_EQ(session.Answer(R"({"get":"FirewallPort"})"), R"({"ok":true,"value":1080})");
  // Without a RemoteHost: the firewall is what the connection needs.
  EXPECT_EQ(session.Answer(R"({"set":"Connected","value":true})"),
            R"({"ok":false,"number":20103,"description":"The FirewallHost address is invalid (0.0.0.0)."})");
  EXPECT_EQ(session.Answer(R"({"set":"FirewallHost","value":"localhost"})"), R"({"ok":true,"value":null})");
  EXPECT_EQ(session.Answer(R"({"get":"FirewallHost"})"), R"({"ok":true,"value":"127.0.0.1"})");
  EXPECT_EQ(session.Answer(R"({"set":"FirewallPort","value":0})"), R"({"ok":true,"value":null})");
  EXPECT_EQ(session.Answer(R"({"set":"Connected","value":true})"),
            R"({"ok":false,"number":20117,"description":"The FirewallPort is invalid (0)."})");
}

}  // namespace
}  // namespace rssvane
