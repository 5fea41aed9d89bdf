#include <gtest/gtest.h>

#include <string>

#include "base/Codes.h"
#include "feed/ConfigChain.h"
#include "feed/FeedSettings.h"
#include "feed/TextSettings.h"

namespace rssvane {
namespace {

TEST(ConfigString, NameIndexAndValueAreCutByteByByte) {
  ConfigSetting s = ParseConfigString("AllowNonRSS");
  EXPECT_EQ(s.name, "AllowNonRSS");
  EXPECT_FALSE(s.isSet);
  EXPECT_FALSE(s.hasIndex);

  s = ParseConfigString("Name=a=b");
  EXPECT_EQ(s.name, "Name");
  EXPECT_TRUE(s.isSet);
  EXPECT_EQ(s.value, "a=b");

  s = ParseConfigString("Name=");
  EXPECT_TRUE(s.isSet);
  EXPECT_EQ(s.value, "");

  s = ParseConfigString("Header[-12]=x");
  EXPECT_EQ(s.name, "Header");
  EXPECT_TRUE(s.hasIndex);
  EXPECT_EQ(s.index, -12);

  s = ParseConfigString("Head(3)er");
  EXPECT_EQ(s.name, "Header");
  EXPECT_EQ(s.index, 3);

  // An index that is never closed runs to the "=".
  s = ParseConfigString("A[7x=1");
  EXPECT_EQ(s.name, "A");
  EXPECT_EQ(s.index, 7);
  EXPECT_EQ(s.value, "1");

  s = ParseConfigString("AllowNonRSS =1");
  EXPECT_EQ(s.name, "AllowNonRSS ");
}

TEST(ConfigString, ValueForms) {
  for (const char* yes : {"true", "TRUE", "Yes", "1"}) EXPECT_TRUE(ConfigBoolean(yes)) << yes;
  for (const char* no : {"on", " true", "1 ", "2", "", "-1", "false"}) EXPECT_FALSE(ConfigBoolean(no)) << no;
  EXPECT_EQ(ConfigNumber("42"), 42);
  EXPECT_EQ(ConfigNumber("-42abc"), -42);
  EXPECT_EQ(ConfigNumber("+5"), 0);
  EXPECT_EQ(ConfigNumber(" 5"), 0);
  EXPECT_EQ(ConfigNumber(""), 0);
  EXPECT_EQ(ConfigNumber("-"), 0);
  EXPECT_EQ(ConfigNumber("99999999999999999999"), 2147483647);
  EXPECT_EQ(ConfigNumber("-99999999999999999999"), -2147483647 - 1);
  EXPECT_TRUE(ConfigNameIs("aLLOWnONrss", "AllowNonRSS"));
  EXPECT_FALSE(ConfigNameIs("AllowNonRS", "AllowNonRSS"));
}

// A stand-in for a network layer: it knows one setting that Reset restores
// and one that it offers for reading only.
class FakeHttpLayer : public ConfigLayer {
 public:
  bool Configure(const ConfigSetting& setting, ConfigResult& result) override {
    if (ConfigNameIs(setting.name, "HTTPVersion")) {
      if (setting.isSet) {
        version = setting.value;
      } else {
        result.value = version;
      }
      return true;
    }
    if (ConfigNameIs(setting.name, "SocketHandle") && !setting.isSet) {
      result.value = "-1";
      return true;
    }
    if (ConfigNameIs(setting.name, "MaxTransferredData") && setting.isSet) {
      result.code = 151;
      result.message = "Refused.";
      return true;
    }
    return false;
  }
  void RestoreResetDefaults() override { version = "1.0"; }
  std::string version = "1.0";
};

class ConfigChainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    feed_.Reset();
    chain_.Attach(ConfigLevel::kRss, &rss_);
    chain_.Attach(ConfigLevel::kTextConversion, &text_);
  }
  std::string Query(std::string_view text, int expectedCode = 0) {
    ConfigResult result;
    EXPECT_EQ(chain_.Offer(ParseConfigString(text), result), expectedCode) << text;
    if (expectedCode == kErrUnknownConfig) {
      EXPECT_EQ(result.message, "Unknown config setting.");
    }
    return result.value;
  }
  FeedState feed_;
  FeedSettings rss_{feed_};
  TextSettings text_;
  ConfigChain chain_;
};

TEST_F(ConfigChainTest, TheFeedLayerAnswersAllowNonRssAndTheGenerator) {
  EXPECT_EQ(Query("AllowNonRSS"), "1");
  EXPECT_EQ(Query("allownonrss=false"), "");
  EXPECT_FALSE(feed_.AllowNonRss());
  EXPECT_EQ(Query("AllowNonRSS"), "0");
  Query("AllowNonRSS=YES");
  EXPECT_TRUE(feed_.AllowNonRss());
  Query("AllowNonRSS=on");
  EXPECT_FALSE(feed_.AllowNonRss());
  Query("AllowNonRSS= true");  // nothing is trimmed
  EXPECT_FALSE(feed_.AllowNonRss());

  EXPECT_EQ(Query("ChannelGenerator"), "Kestrix Version 6.0 RSS Component");
  feed_.SetModified(false);
  EXPECT_EQ(Query("CHANNELGENERATOR=mine"), "");
  EXPECT_TRUE(feed_.Modified());
  EXPECT_EQ(Query("channelgenerator"), "mine");
}

TEST_F(ConfigChainTest, TheTextLayerAnswersCodePageAndCharsetMode) {
  EXPECT_EQ(Query("CodePage"), "0");
  Query("codepage=1252");
  EXPECT_EQ(text_.CodePage(), 1252);
  EXPECT_EQ(Query("CodePage"), "1252");
  Query("CharsetMode=1");
  EXPECT_EQ(Query("CharsetMode"), "1");
  Query("CharsetMode=257");  // an 8-bit setting
  EXPECT_EQ(Query("CharsetMode"), "1");
}

TEST_F(ConfigChainTest, UnknownNamesAndReadOnlySettingsFail) {
  Query("NoSuchSetting", kErrUnknownConfig);
  Query("AllowNonRSS =1", kErrUnknownConfig);
  Query("IgnoreBadElementPrefixes", kErrUnknownConfig);
  Query("HTTPVersion", kErrUnknownConfig);  // no HTTP layer attached yet

  FakeHttpLayer http;
  chain_.Attach(ConfigLevel::kHttp, &http);
  EXPECT_EQ(Query("SocketHandle"), "-1");
  Query("SocketHandle=5", kErrUnknownConfig);
  ConfigResult result;
  EXPECT_EQ(chain_.Offer(ParseConfigString("MaxTransferredData=9"), result), 151);
  EXPECT_EQ(result.message, "Refused.");
}

TEST_F(ConfigChainTest, LowerLayersSlotInAndRestoreTheirResetDefaults) {
  FakeHttpLayer http;
  chain_.Attach(ConfigLevel::kHttp, &http);
  EXPECT_EQ(Query("HTTPVersion"), "1.0");
  Query("httpversion=1.1");
  EXPECT_EQ(Query("HTTPVersion"), "1.1");
  chain_.RestoreResetDefaults();
  EXPECT_EQ(Query("HTTPVersion"), "1.0");

  // The first layer that knows a name wins, top down.
  class Shadow : public ConfigLayer {
    bool Configure(const ConfigSetting& setting, ConfigResult& result) override {
      if (!ConfigNameIs(setting.name, "CodePage")) return false;
      result.value = "shadowed";
      return true;
    }
  } tcp;
  chain_.Attach(ConfigLevel::kTcp, &tcp);
  EXPECT_EQ(Query("CodePage"), "shadowed");
  chain_.Attach(ConfigLevel::kTcp, nullptr);
  EXPECT_EQ(Query("CodePage"), "0");
}

}  // namespace
}  // namespace rssvane
