#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "ControlTestSupport.h"
#include "rssvane/RSS.h"

namespace rssvane {
namespace {

constexpr std::u16string_view kSource = u"Kestrix.RSS.1";
constexpr std::u16string_view kHelp = u"kestrix.chm";

std::string Slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::filesystem::path TempFile(const char* name) {
  return std::filesystem::temp_directory_path() / ("rssvane-control-" + std::to_string(::getpid()) + "-" + name);
}

TEST(Control, ANewControlHasTheConstructionDefaults) {
  RSS rss;
  EXPECT_EQ(rss.ChannelDocs(), u"https://www.rssboard.org/rss-specification");
  EXPECT_EQ(rss.ChannelTitle(), u"");
  EXPECT_EQ(rss.ImageURL(), u"");
  EXPECT_EQ(rss.TextInputName(), u"");
  EXPECT_EQ(rss.RSSVersion(), rssVersion200);
  EXPECT_EQ(rss.ItemCount(), 0);
  EXPECT_EQ(rss.NamespaceCount(), 0);
  EXPECT_EQ(rss.Config(u"AllowNonRSS"), u"1");
  EXPECT_EQ(rss.Config(u"CodePage"), u"0");

  rss.SetChannelTitle(u"x");
  rss.Reset();
  EXPECT_EQ(rss.ChannelDocs(), u"");
  EXPECT_EQ(rss.ChannelTitle(), u"");
  EXPECT_EQ(rss.Config(u"ChannelGenerator"), u"Kestrix Version 6.0 RSS Component");
}

TEST(Control, IndexedReadsAreCheckedFirstAndWritesByTheEngine) {
  RSS rss;
  Raised read = RaisedBy([&] { rss.ItemTitle(0); });
  EXPECT_EQ(read.hresult, 0x800A017Du);
  EXPECT_EQ(read.number, 381);
  EXPECT_EQ(read.description, u"Invalid array index.");
  EXPECT_EQ(read.source, kSource);
  EXPECT_EQ(read.helpFile, u"");  // reads carry no help reference
  EXPECT_EQ(read.helpContext, 0u);

  Raised write = RaisedBy([&] { rss.SetItemTitle(0, u"t"); });
  EXPECT_EQ(write.hresult, 0x800A0000u + 20233);
  EXPECT_EQ(write.number, 20233);
  EXPECT_EQ(write.description, u"Invalid item index.");
  EXPECT_EQ(write.source, kSource);
  EXPECT_EQ(write.helpFile, kHelp);
  EXPECT_EQ(write.helpContext, 25900u + 37);

  rss.AddItem(u"first", u"d1", u"l1");
  rss.AddItem(u"second", u"d2", u"l2");
  EXPECT_EQ(rss.ItemCount(), 2);
  EXPECT_EQ(rss.ItemTitle(1), u"second");
  EXPECT_EQ(rss.ItemTitle(2), u"first");
  EXPECT_EQ(RaisedBy([&] { rss.ItemLink(3); }).number, 381);
  EXPECT_EQ(RaisedBy([&] { rss.ItemGuid(-1); }).number, 381);

  rss.SetItemSourceURL(1, u"http://s/");
  rss.SetItemSource(1, u"S");
  rss.SetItemCategoryDomain(1, u"dom");
  EXPECT_EQ(rss.ItemSourceURL(1), u"http://s/");
  EXPECT_EQ(rss.ItemSource(1), u"S");
  EXPECT_EQ(rss.ItemCategoryDomain(1), u"dom");
  EXPECT_EQ(rss.ItemCategory(1), u"");

  Raised negative = RaisedBy([&] { rss.SetItemCount(-1); });
  EXPECT_EQ(negative.number, 20233);
  EXPECT_EQ(negative.description, u"ItemCount cannot be negative.");
  EXPECT_EQ(negative.helpContext, 25900u + 30);
  rss.SetItemCount(3);
  EXPECT_EQ(rss.ItemTitle(3), u"");
  rss.SetItemCount(0);
  EXPECT_EQ(rss.ItemCount(), 0);
}

TEST(Control, NamespacesFollowTheirOwnIndexRules) {
  RSS rss;
  rss.AddNamespace(u"p", u"urn:1");
  rss.AddNamespace(u"p", u"urn:2");
  EXPECT_EQ(rss.NamespaceCount(), 2);
  EXPECT_EQ(rss.NamespacePrefixes(2), u"p");
  EXPECT_EQ(rss.Namespaces(2), u"urn:2");
  EXPECT_EQ(RaisedBy([&] { rss.Namespaces(0); }).number, 381);
  EXPECT_EQ(RaisedBy([&] { rss.NamespacePrefixes(3); }).number, 381);

  rss.SetNamespaces(0, u"urn:default");  // index 0 is the default namespace
  rss.SetNamespacePrefixes(0, u"ignored");
  Raised bad = RaisedBy([&] { rss.SetNamespaces(3, u"x"); });
  EXPECT_EQ(bad.number, 20233);
  EXPECT_EQ(bad.description, u"Invalid namespace index.");
  EXPECT_EQ(bad.helpContext, 25900u + 40);
  Raised negative = RaisedBy([&] { rss.SetNamespaceCount(-1); });
  EXPECT_EQ(negative.number, 20232);
  EXPECT_EQ(negative.description, u"Namespace count cannot be negative.");

  rss.SetChannelTitle(u"T");
  rss.SetChannelLink(u"L");
  rss.SetChannelDescription(u"D");
  EXPECT_NE(rss.RSSData().find(u"<rss version=\"2.0\" xmlns=\"urn:default\" xmlns:p=\"urn:1\" xmlns:p=\"urn:2\">"),
            std::u16string::npos);
  rss.SetNamespaceCount(0);
  EXPECT_EQ(rss.NamespaceCount(), 0);

  // Without a prefix the declaration is the default namespace, so the text
  // stays readable.
  rss.AddNamespace(u"", u"urn:plain");
  EXPECT_EQ(rss.NamespaceCount(), 0);
  std::u16string data = rss.RSSData();
  EXPECT_NE(data.find(u"<rss version=\"2.0\" xmlns=\"urn:plain\">"), std::u16string::npos);
  EXPECT_EQ(data.find(u"xmlns:="), std::u16string::npos);
}

TEST(Control, EnumeratedWritesAreCheckedAndEngineCodesGetTheGenericText) {
  RSS rss;
  Raised range = RaisedBy([&] { rss.SetRSSVersion(4); });
  EXPECT_EQ(range.hresult, 0x800A017Cu);
  EXPECT_EQ(range.description, u"Value is out of range.");
  EXPECT_EQ(range.helpFile, kHelp);
  EXPECT_EQ(range.helpContext, 25900u + 43);
  EXPECT_EQ(RaisedBy([&] { rss.SetRSSVersion(-1); }).hresult, 0x800A017Cu);
  rss.SetRSSVersion(rssVersion091);
  EXPECT_EQ(rss.RSSVersion(), rssVersion091);

  // 0.91 wants a language and an image that this feed lacks.
  Raised data = RaisedBy([&] { rss.RSSData(); });
  EXPECT_EQ(data.number, 20235);
  EXPECT_EQ(data.description, u"[234] (no description available)");
  EXPECT_EQ(data.helpFile, u"");
  std::filesystem::path file = TempFile("unwritten.rss");
  Raised write = RaisedBy([&] { rss.WriteFile(file.u16string()); });
  EXPECT_EQ(write.number, 20235);
  EXPECT_EQ(write.helpContext, 45900u + 11);
  EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(Control, MethodsReportEngineFailuresWithTheirHelpTopic) {
  RSS rss;
  Raised config = RaisedBy([&] { rss.Config(u"NoSuchSetting"); });
  EXPECT_EQ(config.hresult, 0x800A0000u + 20000);
  EXPECT_EQ(config.number, 20000);
  EXPECT_EQ(config.description, u"Unknown config setting.");
  EXPECT_EQ(config.source, kSource);
  EXPECT_EQ(config.helpFile, kHelp);
  EXPECT_EQ(config.helpContext, 45901u);
  EXPECT_EQ(RaisedBy([&] { rss.Config(u"SocketHandle=5"); }).number, 20000);

  Raised path = RaisedBy([&] { rss.GetProperty(u"Channel/title"); });
  EXPECT_EQ(path.number, 20234);
  EXPECT_EQ(path.description, u"Cannot find root level element: Channel.");
  EXPECT_EQ(path.helpContext, 45905u);
  Raised item = RaisedBy([&] { rss.SetProperty(u"item[1]/title", u"x"); });
  EXPECT_EQ(item.number, 20233);
  EXPECT_EQ(item.description, u"Invalid item index.");
  EXPECT_EQ(item.helpContext, 45910u);

  rss.SetProperty(u"/ttl", u"60");
  EXPECT_EQ(rss.GetProperty(u"channel/ttl"), u"60");
  EXPECT_EQ(rss.GetProperty(u"/category@nosuch"), u"");

  // An error does not linger into the next call's description.
  Raised unknown = RaisedBy([&] { rss.GetProperty(u"/nosuch"); });
  EXPECT_EQ(unknown.description, u"Invalid property name (/nosuch).");
  rss.SetChannelTitle(u"ok");
  rss.SetRSSVersion(rssVersion091);
  EXPECT_EQ(RaisedBy([&] { rss.RSSData(); }).description, u"[234] (no description available)");
}

TEST(Control, DesignModeRefusesRuntimeOnlyReads) {
  RSS rss;
  rss.SetDesignMode(true);
  Raised runtime = RaisedBy([&] { rss.ItemCount(); });
  EXPECT_EQ(runtime.hresult, 0x800A018Au);
  EXPECT_EQ(runtime.description, u"Property is runtime only (no supported in design time).");
  EXPECT_EQ(RaisedBy([&] { rss.RSSData(); }).hresult, 0x800A018Au);
  EXPECT_EQ(RaisedBy([&] { rss.ChannelCategoryDomain(); }).hresult, 0x800A018Au);
  EXPECT_EQ(RaisedBy([&] { rss.NamespaceCount(); }).hresult, 0x800A018Au);
  // Design-time properties and writes still work.
  rss.SetChannelTitle(u"t");
  EXPECT_EQ(rss.ChannelTitle(), u"t");
  rss.SetDesignMode(false);
  EXPECT_EQ(rss.ItemCount(), 0);
}

TEST(Control, TextCrossesTheBoundaryInTheCodePage) {
  RSS rss;
  // Code page 0 is the system's encoding: any character survives, even where
  // the narrow text needs more than two bytes a character.
  for (const std::u16string& wide : {std::u16string(u"日本語 \U0001F600 café"), std::u16string(u"日本語日本語")}) {
    rss.SetChannelTitle(wide);
    EXPECT_EQ(rss.ChannelTitle(), wide);
    EXPECT_EQ(rss.GetProperty(u"/title"), wide);
  }

  rss.Config(u"CodePage=1252");
  rss.SetChannelTitle(u"café");
  EXPECT_EQ(rss.ChannelTitle(), u"café");
  EXPECT_EQ(rss.GetProperty(u"/title"), u"café");
  rss.SetChannelTitle(u"日本");  // not in 1252
  EXPECT_EQ(rss.ChannelTitle(), u"??");

  // A number that no converter maps is refused, and the code page in use stays.
  for (std::u16string number : {u"99999", u"12345", u"-5", u"9999"}) {
    Raised refused = RaisedBy([&] { rss.Config(u"CodePage=" + number); });
    EXPECT_EQ(refused.number, 20236);
    EXPECT_EQ(refused.description, u"Code page " + number + u" is not supported.");
  }
  EXPECT_EQ(rss.Config(u"CodePage"), u"1252");
  rss.SetChannelTitle(u"café");
  EXPECT_EQ(rss.ChannelTitle(), u"café");
  rss.Config(u"CodePage=932");
  rss.SetChannelTitle(u"日本");
  EXPECT_EQ(rss.ChannelTitle(), u"日本");
}

TEST(Control, ATitleInCodePage1252IsWrittenAsItsSingleByte) {
  std::filesystem::path file = TempFile("cp1252.rss");
  {
    RSS rss;
    rss.Config(u"CodePage=1252");
    rss.SetChannelTitle(u"café");
    rss.SetChannelLink(u"http://x/");
    rss.SetChannelDescription(u"d");
    rss.WriteFile(file.u16string());
  }
  std::string bytes = Slurp(file);
  EXPECT_NE(bytes.find("<title>caf\xE9</title>"), std::string::npos);

  RSS reader;
  reader.Config(u"CodePage=1252");
  reader.ReadFile(file.u16string());
  EXPECT_EQ(reader.ChannelTitle(), u"café");
  std::filesystem::remove(file);
}

TEST(Control, AFeedTooLongForTheSixteenBitCountSaysSoInsteadOfWrapping) {
  std::filesystem::path file = TempFile("long.rss");
  {
    std::ofstream out(file, std::ios::binary);
    out << "<rss><channel><title>T</title>";
    for (int i = 0; i < 32768; ++i) out << "<item><title>t</title></item>";
    out << "</channel></rss>";
  }
  RSS rss;
  rss.ReadFile(file.u16string());
  std::filesystem::remove(file);
  Raised count = RaisedBy([&] { rss.ItemCount(); });
  EXPECT_EQ(count.number, 6);
  EXPECT_EQ(count.description, u"Overflow.");
  EXPECT_EQ(rss.ItemTitle(32767), u"t");
  Raised add = RaisedBy([&] { rss.AddItem(u"a", u"b", u"c"); });
  EXPECT_EQ(add.number, 20233);
  EXPECT_EQ(add.description, u"Cannot add more items.");
}

TEST(Control, FileNamesThatCannotNameAFileFail) {
  RSS rss;
  rss.SetChannelTitle(u"T");
  rss.SetChannelLink(u"L");
  rss.SetChannelDescription(u"D");
  std::filesystem::path file = TempFile("nul.rss");
  std::u16string name = file.u16string() + std::u16string(1, u'\0') + u"tail";
  Raised write = RaisedBy([&] { rss.WriteFile(name); });
  EXPECT_EQ(write.number, 20303);
  EXPECT_EQ(write.description, u"Can't open file for writing.");
  EXPECT_FALSE(std::filesystem::exists(file));
  Raised read = RaisedBy([&] { rss.ReadFile(name); });
  EXPECT_EQ(read.number, 20303);
  EXPECT_EQ(read.description, u"Can't open file for reading.");
  Raised missing = RaisedBy([&] { rss.ReadFile(file.u16string()); });
  EXPECT_EQ(missing.number, 20303);
  EXPECT_EQ(missing.helpContext, 45908u);
  EXPECT_EQ(rss.ChannelTitle(), u"T");  // nothing changed
}

}  // namespace
}  // namespace rssvane
