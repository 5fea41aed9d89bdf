#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "base/Codes.h"
#include "feed/FeedEngine.h"

namespace rssvane {
namespace {

class AtomReading : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string answer;
    ASSERT_EQ(engine_.Config("ReadAtom=true", answer), 0);
  }

  void Read(std::string_view text, std::string_view address = {}) {
    ASSERT_EQ(engine_.ReadDocument(text, {}, address), 0) << engine_.LastErrorText();
  }

  std::string Get(std::string_view path) {
    std::string_view value;
    engine_.ClearError();
    engine_.GetProperty(path, value);
    EXPECT_EQ(engine_.LastError(), 0) << path;
    return std::string(value);
  }

  std::string Written() {
    std::string_view text;
    EXPECT_EQ(engine_.DocumentText(text), 0) << engine_.LastErrorText();
    return std::string(text);
  }

  FeedEngine engine_;
};

// RFC 4287, section 1.1.
constexpr std::string_view kMinimal = R"(<?xml version="1.0" encoding="utf-8"?>
<feed xmlns="http://www.w3.org/2005/Atom">
  <title>Example Feed</title>
  <link href="http://example.org/"/>
  <updated>2003-12-13T18:30:02Z</updated>
  <author>
    <name>John Doe</name>
  </author>
  <id>urn:uuid:60a76c80-d399-11d9-b93C-0003939e0af6</id>
  <entry>
    <title>Atom-Powered Robots Run Amok</title>
    <link href="http://example.org/2003/12/13/atom03"/>
    <id>urn:uuid:1225c695-cfb8-4ebb-aaaa-80da344efa6a</id>
    <updated>2003-12-13T18:30:02Z</updated>
    <summary>Some text.</summary>
  </entry>
</feed>)";

TEST_F(AtomReading, TheMinimalExampleOfRfc4287IsWrittenAsRss2) {
  Read(kMinimal);
  // The document text is the RSS, not the Atom that was read.
  EXPECT_EQ(Written(),
            " <?xml version=\"1.0\"?>\r\n"
            "<rss version=\"2.0\" xmlns:atom=\"http://www.w3.org/2005/Atom\">\r\n"
            "  <channel>\r\n"
            "    <title>Example Feed</title>\r\n"
            "    <link>http://example.org/</link>\r\n"
            "    <description>Example Feed</description>\r\n"
            "    <managingEditor>John Doe</managingEditor>\r\n"
            "    <lastBuildDate>Sat, 13 Dec 2003 18:30:02 GMT</lastBuildDate>\r\n"
            "    <generator>Kestrix Version 6.0 RSS Component</generator>\r\n"
            "    <atom:id>urn:uuid:60a76c80-d399-11d9-b93C-0003939e0af6</atom:id>\r\n"
            "    <item>\r\n"
            "      <title>Atom-Powered Robots Run Amok</title>\r\n"
            "      <description>Some text.</description>\r\n"
            "      <link>http://example.org/2003/12/13/atom03</link>\r\n"
            "      <author>John Doe</author>\r\n"
            "      <pubDate>Sat, 13 Dec 2003 18:30:02 GMT</pubDate>\r\n"
            "      <guid isPermaLink=\"false\">urn:uuid:1225c695-cfb8-4ebb-aaaa-80da344efa6a</guid>\r\n"
            "    </item>\r\n"
            "  </channel>\r\n"
            "</rss>\r\n");

  // Without the setting, the same document reads as RSS: a heap of channel
  // fields, the entry's over the feed's, and no items.
  std::string answer;
  ASSERT_EQ(engine_.Config("ReadAtom=false", answer), 0);
  Read(kMinimal);
  EXPECT_EQ(engine_.Feed().ItemCount(), 0u);
  EXPECT_EQ(Get("/title"), "Atom-Powered Robots Run Amok");
  EXPECT_EQ(engine_.Feed().DefaultNamespace(), "http://www.w3.org/2005/Atom");
}

// RFC 4287, section 1.2.
constexpr std::string_view kExtensive = R"(<?xml version="1.0" encoding="utf-8"?>
<feed xmlns="http://www.w3.org/2005/Atom">
  <title type="text">dive into mark</title>
  <subtitle type="html">
    A &lt;em&gt;lot&lt;/em&gt; of effort
    went into making this effortless
  </subtitle>
  <updated>2005-07-31T12:29:29Z</updated>
  <id>tag:example.org,2003:3</id>
  <link rel="alternate" type="text/html"
   hreflang="en" href="http://example.org/"/>
  <link rel="self" type="application/atom+xml"
   href="http://example.org/feed.atom"/>
  <rights>Copyright (c) 2003, Mark Pilgrim</rights>
  <generator uri="http://www.example.com/" version="1.0">
    Example Toolkit
  </generator>
  <entry>
    <title>Atom draft-07 snapshot</title>
    <link rel="alternate" type="text/html"
     href="http://example.org/2005/04/02/atom"/>
    <link rel="enclosure" type="audio/mpeg" length="1337"
     href="http://example.org/audio/ph34r_my_podcast.mp3"/>
    <id>tag:example.org,2003:3.2397</id>
    <updated>2005-07-31T12:29:29Z</updated>
    <published>2003-12-13T08:29:29-04:00</published>
    <author>
      <name>Mark Pilgrim</name>
      <uri>http://example.org/</uri>
      <email>f8dy@example.com</email>
    </author>
    <contributor>
      <name>Sam Ruby</name>
    </contributor>
    <contributor>
      <name>Joe Gregorio</name>
    </contributor>
    <content type="xhtml" xml:lang="en"
     xml:base="http://diveintomark.org/">
      <div xmlns="http://www.w3.org/1999/xhtml">
        <p><i>[Update: The Atom draft is finished.]</i></p>
      </div>
    </content>
  </entry>
</feed>)";

TEST_F(AtomReading, TheExtensiveExampleOfRfc4287ReadsThroughPropertyPaths) {
  Read(kExtensive);
  EXPECT_EQ(Get("/title"), "dive into mark");
  EXPECT_EQ(Get("/description"), "A <em>lot</em> of effort\n    went into making this effortless");
  EXPECT_EQ(Get("/lastBuildDate"), "Sun, 31 Jul 2005 12:29:29 GMT");
  EXPECT_EQ(Get("/atom:id"), "tag:example.org,2003:3");
  EXPECT_EQ(Get("/link"), "http://example.org/");
  EXPECT_EQ(Get("/link@type"), "text/html");
  EXPECT_EQ(Get("/link@hreflang"), "en");
  EXPECT_EQ(Get("/atom:link@rel"), "self");
  EXPECT_EQ(Get("/atom:link@href"), "http://example.org/feed.atom");
  EXPECT_EQ(Get("/copyright"), "Copyright (c) 2003, Mark Pilgrim");
  EXPECT_EQ(Get("/generator"), "Example Toolkit");
  EXPECT_EQ(Get("/generator@uri"), "http://www.example.com/");
  EXPECT_EQ(Get("/generator@version"), "1.0");

  EXPECT_EQ(engine_.Feed().ItemCount(), 1u);
  EXPECT_EQ(Get("item[1]/title"), "Atom draft-07 snapshot");
  EXPECT_EQ(Get("item[1]/link"), "http://example.org/2005/04/02/atom");
  EXPECT_EQ(Get("item[1]/enclosure@url"), "http://example.org/audio/ph34r_my_podcast.mp3");
  EXPECT_EQ(Get("item[1]/enclosure@length"), "1337");
  EXPECT_EQ(Get("item[1]/enclosure@type"), "audio/mpeg");
  EXPECT_EQ(Get("item[1]/guid"), "tag:example.org,2003:3.2397");
  EXPECT_EQ(Get("item[1]/guid@isPermaLink"), "false");
  EXPECT_EQ(Get("item[1]/pubDate"), "Sat, 13 Dec 2003 08:29:29 -0400");
  EXPECT_EQ(Get("item[1]/atom:updated"), "2005-07-31T12:29:29Z");
  EXPECT_EQ(Get("item[1]/author"), "f8dy@example.com (Mark Pilgrim)");
  EXPECT_EQ(Get("item[1]/author@uri"), "http://example.org/");
  EXPECT_EQ(Get("item[1]/atom:contributor"), "Sam Ruby");
  EXPECT_EQ(Get("item[1]/description"), "<p><i>[Update: The Atom draft is finished.]</i></p>");
  std::string written = Written();
  EXPECT_NE(written.find("      <atom:contributor>Joe Gregorio</atom:contributor>\r\n"), std::string::npos);
  EXPECT_NE(written.find("      <enclosure type=\"audio/mpeg\" length=\"1337\" "
                         "url=\"http://example.org/audio/ph34r_my_podcast.mp3\"/>\r\n"),
            std::string::npos);
}

TEST_F(AtomReading, RelativeReferencesResolveAgainstXmlBaseAndTheDocumentsAddress) {
  constexpr std::string_view doc = R"(<feed xmlns="http://www.w3.org/2005/Atom" xml:base="/blog/">
  <title>T</title><link href="./"/><logo>logo.png</logo>
  <entry xml:base="2024/">
    <title>E</title><link href="post"/>
    <link rel="related" href="../other" xml:base="x/"/>
    <content type="xhtml"><div xmlns="http://www.w3.org/1999/xhtml">
      <p>A <a href="#n" title='>'>link</a> &amp; <![CDATA[<b>]]> <img src="i.png"/></p>
    </div></content>
  </entry>
</feed>)";
  Read(doc, "http://example.org/feeds/atom.xml");
  EXPECT_EQ(Get("/link"), "http://example.org/blog/");
  EXPECT_EQ(Get("image/url"), "http://example.org/blog/logo.png");
  EXPECT_EQ(Get("image/link"), "http://example.org/blog/");
  EXPECT_EQ(Get("image/title"), "T");
  EXPECT_EQ(Get("item[1]/link"), "http://example.org/blog/2024/post");
  EXPECT_EQ(Get("item[1]/atom:link@href"), "http://example.org/blog/2024/other");
  // XHTML content is the markup inside its div as written, links included.
  EXPECT_EQ(Get("item[1]/description"),
            "<p>A <a href=\"#n\" title='>'>link</a> &amp; <![CDATA[<b>]]> <img src=\"i.png\"/></p>");

  // A file has no address: what stays relative after xml:base is kept so.
  std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("rssvane-atom-" + std::to_string(::getpid()) + ".xml");
  std::ofstream(path, std::ios::binary) << doc;
  ASSERT_EQ(engine_.ReadFile(path.string()), 0) << engine_.LastErrorText();
  std::filesystem::remove(path);
  EXPECT_EQ(Get("/link"), "/blog/");
  EXPECT_EQ(Get("item[1]/link"), "/blog/2024/post");
}

TEST_F(AtomReading, SummariesContentAuthorsAndCategoriesFindTheirPlaces) {
  Read(R"(<feed xmlns="http://www.w3.org/2005/Atom" xmlns:dc="http://purl.org/dc/elements/1.1/" xml:lang="fr">
  <title type="xhtml"><div xmlns="http://www.w3.org/1999/xhtml">A <b>bold</b> title</div></title>
  <link rel="self" href="http://example.org/self"/>
  <category term="news" scheme="http://example.org/cats" label="News"/>
  <category term="tech"/>
  <entry>
    <title>Content, no summary</title>
    <content type="html">&lt;p&gt;Hi&lt;/p&gt;</content>
    <category term="one"/><category term="two" label="Two"/>
    <media:thumbnail xmlns:media="http://search.yahoo.com/mrss/" url="http://example.org/t.jpg"/>
    <dc:subject>s</dc:subject>
  </entry>
  <entry>
    <title>Summary and content</title>
    <summary>Short</summary><content>Long</content>
    <source><title>Elsewhere</title><link href="http://elsewhere/"/>
      <link rel="self" href="http://elsewhere/feed"/><author><name>Source Author</name></author></source>
  </entry>
  <entry>
    <title>Out of line</title>
    <content type="video/mp4" src="http://example.org/v.mp4"/>
    <updated>
      2003-12-13T18:30:02Z
    </updated>
    <author><name>A</name></author><author><email>b@example.org</email></author>
  </entry>
  <author><name>Late Feed Author</name><email>late@example.org</email></author>
</feed>)");
  EXPECT_EQ(Get("/language"), "fr");
  EXPECT_EQ(Get("/title"), "A <b>bold</b> title");
  // Without an alternate link and a subtitle, the self link and the title.
  EXPECT_EQ(Get("/link"), "http://example.org/self");
  EXPECT_EQ(Get("/description"), "A <b>bold</b> title");
  EXPECT_EQ(Get("/category"), "news");
  EXPECT_EQ(Get("/category@domain"), "http://example.org/cats");
  EXPECT_EQ(Get("/category@label"), "News");
  EXPECT_EQ(Get("/atom:category@term"), "tech");

  EXPECT_EQ(Get("item[1]/description"), "<p>Hi</p>");
  EXPECT_EQ(Get("item[1]/category"), "one");
  EXPECT_EQ(Get("item[1]/atom:category@label"), "Two");
  EXPECT_EQ(Get("item[1]/media:thumbnail@url"), "http://example.org/t.jpg");
  EXPECT_EQ(Get("item[1]/dc:subject"), "s");
  // The feed's author, though it comes last, is the author of entries
  // without one.
  EXPECT_EQ(Get("item[1]/author"), "late@example.org (Late Feed Author)");
  EXPECT_EQ(Get("/managingEditor"), "late@example.org (Late Feed Author)");

  EXPECT_EQ(Get("item[2]/description"), "Short");
  EXPECT_EQ(Get("item[2]/atom:content"), "Long");
  EXPECT_EQ(Get("item[2]/source"), "Elsewhere");
  EXPECT_EQ(Get("item[2]/source@url"), "http://elsewhere/feed");
  EXPECT_EQ(Get("item[2]/author"), "Source Author");

  EXPECT_EQ(Get("item[3]/description"), "");
  EXPECT_EQ(Get("item[3]/atom:content@src"), "http://example.org/v.mp4");
  EXPECT_EQ(Get("item[3]/author"), "A");
  EXPECT_EQ(Get("item[3]/pubDate"), "Sat, 13 Dec 2003 18:30:02 GMT");
  EXPECT_EQ(Get("item[3]/atom:author"), "b@example.org");

  // The prefix an entry declared for its extension is declared for RSS.
  std::string written = Written();
  EXPECT_NE(written.find(" xmlns:media=\"http://search.yahoo.com/mrss/\""), std::string::npos) << written;
  EXPECT_NE(written.find(" xmlns:dc=\"http://purl.org/dc/elements/1.1/\""), std::string::npos);
  EXPECT_EQ(written.find(" xmlns=\""), std::string::npos);
}

// The model shares texts with the document it was read from, yet the
// caller's text may be gone as soon as the read returns; and each entry's
// author text is its own, though they are all made in one place.
TEST_F(AtomReading, TheModelOutlivesTheTextItWasReadFrom) {
  auto text = std::make_unique<std::string>(R"(<feed xmlns="http://www.w3.org/2005/Atom">
  <title>Feed title</title><link href="http://example.org/"/>
  <entry>
    <title>First</title><id>urn:one</id><link href="http://example.org/1"/>
    <category term="alpha" scheme="http://example.org/cats"/>
    <author><name>Ann</name><email>ann@example.org</email></author>
    <media:thumbnail xmlns:media="http://search.yahoo.com/mrss/" url="http://example.org/t.jpg"/>
  </entry>
  <entry>
    <title>Second &amp; last</title><id>urn:two</id>
    <author><name>Bob</name><email>bob@example.org</email></author>
  </entry>
</feed>)");
  Read(*text);
  std::fill(text->begin(), text->end(), '#');
  text.reset();
  EXPECT_EQ(Get("/title"), "Feed title");
  EXPECT_EQ(Get("/link"), "http://example.org/");
  EXPECT_EQ(Get("item[1]/title"), "First");
  EXPECT_EQ(Get("item[1]/guid"), "urn:one");
  EXPECT_EQ(Get("item[1]/link"), "http://example.org/1");
  EXPECT_EQ(Get("item[1]/category"), "alpha");
  EXPECT_EQ(Get("item[1]/category@domain"), "http://example.org/cats");
  EXPECT_EQ(Get("item[1]/media:thumbnail@url"), "http://example.org/t.jpg");
  EXPECT_EQ(Get("item[1]/author"), "ann@example.org (Ann)");
  EXPECT_EQ(Get("item[2]/title"), "Second & last");
  EXPECT_EQ(Get("item[2]/author"), "bob@example.org (Bob)");
  EXPECT_NE(Written().find("<media:thumbnail url=\"http://example.org/t.jpg\""), std::string::npos);
}

TEST_F(AtomReading, ManyPrefixesDeclaredBelowTheRootAreDeclaredOnceEachAtOnce) {
  // Each of these elements declares a prefix of its own, which the feed
  // must declare for the RSS it writes: looked up one by one in the feed's
  // own list, this read did not end in minutes.
  constexpr int kCount = 40000;
  std::string doc = "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>T</title><entry>";
  for (int i = 0; i < kCount; ++i) {
    std::string prefix = "p" + std::to_string(i % (kCount / 2));
    doc += "<" + prefix + ":x xmlns:" + prefix + "=\"urn:" + prefix + "\">v</" + prefix + ":x>";
  }
  doc += "</entry></feed>";
  Read(doc);
  // Half the prefixes come twice; "atom" is declared too.
  EXPECT_EQ(engine_.Feed().NamespaceCount(), static_cast<size_t>(kCount / 2 + 1));
  EXPECT_EQ(Get("item[1]/p19999:x"), "v");
}

TEST_F(AtomReading, ALongBaseIsNotCopiedForEachElementUnderIt) {
  // Copied into each element's level, this base made the read take longer
  // than the suite's time-out.
  std::string base = "http://example.org/" + std::string(4 << 20, 'b') + "/";
  std::string doc = "<feed xmlns=\"http://www.w3.org/2005/Atom\" xml:base=\"" + base + "\"><entry>";
  for (int i = 0; i < 100000; ++i) doc += "<x:y xmlns:x=\"urn:x\"/>";
  doc += "<link href=\"post\"/></entry></feed>";
  Read(doc);
  EXPECT_EQ(Get("item[1]/link"), base + "post");
}

TEST_F(AtomReading, AUtf16AtomFeedReadsWithBothSettings) {
  std::string answer;
  ASSERT_EQ(engine_.Config("DecodeDocument=true", answer), 0);
  std::u16string doc = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><feed xmlns=\"http://www.w3.org/2005/Atom\">"
                       u"<title>Caf\u00e9</title><entry><title>\u20ac</title></entry></feed>";
  std::string bytes = "\xff\xfe";
  for (char16_t unit : doc) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  Read(bytes);
  EXPECT_EQ(Get("/title"), "Caf\xc3\xa9");
  EXPECT_EQ(Get("item[1]/title"), "\xe2\x82\xac");
  // Malformed XML still fails as it does for RSS, leaving the feed read before.
  EXPECT_EQ(engine_.ReadDocument("<feed xmlns=\"http://www.w3.org/2005/Atom\"><entry></feed>"), 201);
  EXPECT_EQ(engine_.LastErrorText(), "Unbalanced element tag.");
  EXPECT_EQ(Get("item[1]/title"), "\xe2\x82\xac");
}

}  // namespace
}  // namespace rssvane
