#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "base/Codes.h"
#include "feed/FeedEngine.h"

namespace rssvane {
namespace {

// The HTTP layer's part in Reset, as it will attach to the chain.
class HttpVersionLayer : public ConfigLayer {
 public:
  bool Configure(const ConfigSetting& setting, ConfigResult& result) override {
    if (!ConfigNameIs(setting.name, "HTTPVersion")) return false;
    if (setting.isSet) {
      version = setting.value;
    } else {
      result.value = version;
    }
    return true;
  }
  void RestoreResetDefaults() override { version = "1.0"; }
  std::string version = "1.0";
};

std::string Config(FeedEngine& engine, std::string_view text) {
  std::string answer;
  EXPECT_EQ(engine.Config(text, answer), 0) << text;
  return answer;
}

std::filesystem::path TempFile(const char* name) {
  return std::filesystem::temp_directory_path() / ("rssvane-engine-" + std::to_string(::getpid()) + "-" + name);
}

void FillMinimal(FeedEngine& engine) {
  FeedState& feed = engine.Feed();
  feed.SetFieldText(feed.Channel().Fixed(channel_field::kTitle), "T");
  feed.SetFieldText(feed.Channel().Fixed(channel_field::kLink), "L");
  feed.SetFieldText(feed.Channel().Fixed(channel_field::kDescription), "D");
}

TEST(FeedEngine, RepeatedDocumentTextReadsReturnTheCacheWithoutProducingAgain) {
  FeedEngine engine;
  FillMinimal(engine);
  std::string_view first, again;
  ASSERT_EQ(engine.DocumentText(first), 0);
  for (int i = 0; i < 5; ++i) ASSERT_EQ(engine.DocumentText(again), 0);
  EXPECT_EQ(engine.Writer().Productions(), 1u);
  EXPECT_EQ(again.data(), first.data());
  ASSERT_EQ(engine.SetProperty("/title", "changed"), 0);
  ASSERT_EQ(engine.DocumentText(again), 0);
  EXPECT_EQ(engine.Writer().Productions(), 2u);
  Config(engine, "ChannelGenerator=g");
  ASSERT_EQ(engine.DocumentText(again), 0);
  EXPECT_EQ(engine.Writer().Productions(), 3u);
  EXPECT_NE(again.find("<generator>g</generator>"), std::string_view::npos);
}

TEST(FeedEngine, TheCachedTextFollowsAllowNonRss) {
  FeedEngine engine;
  ASSERT_EQ(engine.ReadDocument("<rss version=\"2.0\"><channel><title>T</title><link>L</link>"
                                "<description>D</description><x>extra</x></channel></rss>"),
            0);
  std::string_view text;
  Config(engine, "AllowNonRSS=true");  // no change: the text read stays
  ASSERT_EQ(engine.DocumentText(text), 0);
  EXPECT_EQ(engine.Writer().Productions(), 0u);
  Config(engine, "AllowNonRSS=false");
  ASSERT_EQ(engine.DocumentText(text), 0);
  EXPECT_EQ(text.find("<x>"), std::string_view::npos);
  Config(engine, "AllowNonRSS=1");
  ASSERT_EQ(engine.DocumentText(text), 0);
  EXPECT_NE(text.find("    <x>extra</x>\r\n"), std::string_view::npos);
  EXPECT_EQ(engine.Writer().Productions(), 2u);
}

TEST(FeedEngine, CharacterReferencesResolveIntoTheCodePage) {
  const char* document = "<rss><channel><title>caf&#233; &#8217;&#x4E00;</title></channel></rss>";
  FeedEngine engine;
  std::string_view title;
  ASSERT_EQ(engine.ReadDocument(document), 0);
  ASSERT_EQ(engine.GetProperty("/title", title), 0);
  EXPECT_EQ(title, "caf\xC3\xA9 \xE2\x80\x99\xE4\xB8\x80");
  Config(engine, "CodePage=1252");
  ASSERT_EQ(engine.ReadDocument(document), 0);
  ASSERT_EQ(engine.GetProperty("/title", title), 0);
  EXPECT_EQ(title, "caf\xE9 \x92&#x4E00;");
}

TEST(FeedEngine, ResetAndReadingRestoreTheLowerLayersThroughTheChain) {
  FeedEngine engine;
  HttpVersionLayer http;
  engine.Chain().Attach(ConfigLevel::kHttp, &http);
  Config(engine, "HTTPVersion=1.1");
  Config(engine, "AllowNonRSS=0");
  engine.Reset();
  EXPECT_EQ(Config(engine, "HTTPVersion"), "1.0");
  EXPECT_EQ(Config(engine, "AllowNonRSS"), "1");

  // A file that cannot be read changes nothing, not even the lower layers.
  Config(engine, "HTTPVersion=1.1");
  Config(engine, "AllowNonRSS=0");
  FillMinimal(engine);
  EXPECT_EQ(engine.ReadFile(TempFile("missing.rss").string()), kErrFileOpen);
  EXPECT_EQ(engine.LastErrorText(), "Can't open file for reading.");
  EXPECT_EQ(Config(engine, "HTTPVersion"), "1.1");
  EXPECT_EQ(Config(engine, "AllowNonRSS"), "0");
  std::string_view title;
  ASSERT_EQ(engine.GetProperty("/title", title), 0);
  EXPECT_EQ(title, "T");

  // A file that is read resets everything, malformed or not.
  std::filesystem::path file = TempFile("bad.rss");
  { std::ofstream(file) << "<rss><channel>"; }
  EXPECT_NE(engine.ReadFile(file.string()), 0);
  EXPECT_EQ(Config(engine, "HTTPVersion"), "1.0");
  EXPECT_EQ(Config(engine, "AllowNonRSS"), "1");

  Config(engine, "HTTPVersion=1.1");
  ASSERT_EQ(engine.ReadDocument("<rss version=\"2.0\" xmlns:a=\"u\"><channel><title>R</title></channel></rss>"), 0);
  EXPECT_EQ(Config(engine, "HTTPVersion"), "1.0");
  std::filesystem::remove(file);

  // A fetched document is read whole or not at all: one that fails, even
  // after its root's namespaces were taken, leaves everything as it was.
  Config(engine, "HTTPVersion=1.1");
  Config(engine, "AllowNonRSS=0");
  const std::string text(engine.Feed().DocumentText());
  EXPECT_EQ(engine.ReadDocument("<rss xmlns:b=\"v\"><channel><title>X</title></channel>"), 206);
  EXPECT_FALSE(engine.LastErrorText().empty());
  ASSERT_EQ(engine.GetProperty("/title", title), 0);
  EXPECT_EQ(title, "R");
  EXPECT_EQ(engine.Feed().NamespaceCount(), 1u);
  EXPECT_EQ(engine.Feed().DocumentText(), text);
  EXPECT_EQ(Config(engine, "HTTPVersion"), "1.1");
  EXPECT_EQ(Config(engine, "AllowNonRSS"), "0");
}

TEST(FeedEngine, AddItemStopsWhereTheHostsCountEnds) {
  FeedEngine engine;
  ASSERT_EQ(engine.Feed().SetItemCount(static_cast<long>(kMaxHostItems) - 1), 0);
  ASSERT_EQ(engine.AddItem("t", "d", "l"), 0);
  EXPECT_EQ(engine.AddItem("t", "d", "l"), kErrInvalidIndex);
  EXPECT_EQ(engine.LastErrorText(), "Cannot add more items.");
  EXPECT_EQ(engine.Feed().ItemCount(), kMaxHostItems);
}

// Texts that survive a write and a read unchanged: the writer escapes
// nothing, so they hold no markup, and the reader trims, so no surrounding
// white space.
std::string RandomText(std::mt19937& rng, bool allowEmpty) {
  static const std::string alphabet = "abcXYZ019 .,;:-_/?#=%+()[]!*'~";
  std::uniform_int_distribution<int> length(allowEmpty ? 0 : 1, 12);
  std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
  std::string text;
  for (int i = 0, n = length(rng); i < n; ++i) text += alphabet[pick(rng)];
  while (!text.empty() && text.front() == ' ') text.erase(text.begin());
  while (!text.empty() && text.back() == ' ') text.pop_back();
  if (!allowEmpty && text.empty()) text = "x";
  return text;
}

void FillContainer(FeedState& feed, FeedContainer& c, std::mt19937& rng, bool anyFixed) {
  for (size_t i = 0; i < c.FixedCount(); ++i) {
    if (anyFixed || std::bernoulli_distribution(0.5)(rng)) feed.SetFieldText(c.Fixed(i), RandomText(rng, true));
  }
  if (std::bernoulli_distribution(0.3)(rng)) {
    std::string name = std::bernoulli_distribution(0.5)(rng) ? "domain" : "x:attr";
    feed.SetFieldAttribute(c.Fixed(0), name, RandomText(rng, true));
  }
  int extras = std::uniform_int_distribution<int>(0, 2)(rng);
  for (int e = 0; e < extras; ++e) {
    FeedField* field;
    std::string name = "x:e" + std::to_string(e);
    if (c.AddExtra(name, field) == 0) feed.SetFieldText(*field, RandomText(rng, true));
  }
}

bool SameContainer(const FeedContainer& a, const FeedContainer& b, std::string& why) {
  for (size_t i = 0; i < a.FixedCount(); ++i) {
    if (a.Fixed(i).Text() != b.Fixed(i).Text()) {
      why = "text of " + std::string(a.Fixed(i).Name());
      return false;
    }
    if (a.Fixed(i).AttributeCount() != b.Fixed(i).AttributeCount()) {
      why = "attributes of " + std::string(a.Fixed(i).Name());
      return false;
    }
    for (size_t k = 0; k < a.Fixed(i).AttributeCount(); ++k) {
      if (a.Fixed(i).AttributeName(k) != b.Fixed(i).AttributeName(k) ||
          a.Fixed(i).AttributeValue(k) != b.Fixed(i).AttributeValue(k)) {
        why = "attribute of " + std::string(a.Fixed(i).Name());
        return false;
      }
    }
  }
  if (a.ExtraCount() != b.ExtraCount()) {
    why = "extra count";
    return false;
  }
  for (size_t i = 0; i < a.ExtraCount(); ++i) {
    if (a.Extra(i)->Name() != b.Extra(i)->Name() || a.Extra(i)->Text() != b.Extra(i)->Text()) {
      why = "extra " + std::string(a.Extra(i)->Name());
      return false;
    }
  }
  return true;
}

TEST(FeedEngine, ReadingWhatWasWrittenGivesTheSameModelBack) {
  std::mt19937 rng(20261207);
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    FeedEngine written;
    FeedState& feed = written.Feed();
    feed.SetVersion(rssVersionUndefined);  // every field may be written
    feed.AddNamespace("x", "urn:x");
    if (std::bernoulli_distribution(0.5)(rng)) feed.SetDefaultNamespace("urn:default");
    FillContainer(feed, feed.Channel(), rng, false);
    if (feed.Generator().empty()) feed.SetGenerator(kGeneratorText);
    if (std::bernoulli_distribution(0.5)(rng)) FillContainer(feed, feed.Image(), rng, true);
    if (std::bernoulli_distribution(0.5)(rng)) FillContainer(feed, feed.TextInput(), rng, true);
    int items = std::uniform_int_distribution<int>(0, 5)(rng);
    for (int i = 0; i < items; ++i) {
      feed.AddItem("", "", "");
      FillContainer(feed, *feed.Item(1), rng, false);
    }
    std::string_view text;
    ASSERT_EQ(written.DocumentText(text), 0);

    FeedEngine read;
    ASSERT_EQ(read.ReadDocument(text), 0) << read.LastErrorText() << "\n" << text;
    const FeedState& back = read.Feed();
    std::string why;
    EXPECT_EQ(back.Version(), rssVersionUndefined);
    EXPECT_EQ(back.DefaultNamespace(), feed.DefaultNamespace());
    ASSERT_EQ(back.NamespaceCount(), 1u);
    ASSERT_TRUE(SameContainer(feed.Channel(), back.Channel(), why)) << why << "\n" << text;
    // An image or text input without content is not written and reads back
    // empty; one with content comes back whole.
    ASSERT_TRUE(SameContainer(feed.Image(), back.Image(), why)) << why << "\n" << text;
    ASSERT_TRUE(SameContainer(feed.TextInput(), back.TextInput(), why)) << why << "\n" << text;
    ASSERT_EQ(back.ItemCount(), feed.ItemCount());
    for (size_t i = 1; i <= feed.ItemCount(); ++i) {
      ASSERT_TRUE(SameContainer(*feed.Item(static_cast<long>(i)), *back.Item(static_cast<long>(i)), why))
          << "item " << i << ": " << why << "\n" << text;
    }
    // What was read is the document text until something changes.
    std::string_view again;
    ASSERT_EQ(read.DocumentText(again), 0);
    EXPECT_EQ(again, text);
    EXPECT_EQ(read.Writer().Productions(), 0u);
  }
}

}  // namespace
}  // namespace rssvane
