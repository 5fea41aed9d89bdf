#include "GeneratedFeed.h"

#include <cstdint>

namespace vk_bench {

namespace {

// A small deterministic generator, so every run reads the same feed.
struct Random {
  uint64_t state = 0x9E3779B97F4A7C15ull;
  uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<uint32_t>(state >> 16);
  }
  size_t Below(size_t n) { return Next() % n; }
};

const char* const kWords[] = {
    "feed",  "reader", "channel", "item",  "news",     "update", "release", "security", "report", "market",
    "Zürich", "café",  "naïve",   "résumé", "Straße",  "東京",   "данные",  "λόγος",    "open",   "source",
    "daily", "weekly", "world",   "local", "analysis", "review", "notes",   "summary",  "data",   "system"};

void Words(Random& random, std::string& out, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (i) out += ' ';
    out += kWords[random.Below(sizeof kWords / sizeof kWords[0])];
  }
}

void PutPart(Random&, std::string& out, const char* text) { out += text; }
void PutPart(Random& random, std::string& out, int words) { Words(random, out, static_cast<size_t>(words)); }

// Appends the parts in order: a text as it is, a number as that many words.
template <typename... Parts>
void Put(Random& random, std::string& out, Parts... parts) {
  (PutPart(random, out, parts), ...);
}

}  // namespace

std::string GenerateFeed(size_t items) {
  Random random;
  std::string out;
  out.reserve(items * 1300 + 4096);
  out +=
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<rss version=\"2.0\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
      "xmlns:content=\"http://purl.org/rss/1.0/modules/content/\" "
      "xmlns:media=\"http://search.yahoo.com/mrss/\">\n"
      "<channel>\n"
      "  <title>Benchmark &amp; Co. — Nachrichten</title>\n"
      "  <link>https://example.org/</link>\n"
      "  <description>A generated feed for reading benchmarks</description>\n"
      "  <language>en-us</language>\n"
      "  <image><url>https://example.org/logo.png</url><title>Logo</title><link>https://example.org/</link></image>\n";
  for (size_t i = 0; i < items; ++i) {
    Put(random, out, "  <item>\n    <title>", 6, " &amp; ", 2);
    out += " #" + std::to_string(i);
    out += "</title>\n    <link>https://example.org/articles/" + std::to_string(i) + "?ref=rss&amp;id=" +
           std::to_string(random.Next()) + "</link>\n";
    Put(random, out, "    <description><![CDATA[<p>", 30, "</p><p><a href=\"https://example.org/more\">", 4,
        "</a></p>]]></description>\n    <content:encoded>&lt;p&gt;", 32,
        " &#169; &quot;quoted&quot; &lt;/p&gt;</content:encoded>\n    <dc:creator>", 2,
        "</dc:creator>\n    <category domain=\"https://example.org/tags\">", 1, "</category>\n    <category>", 1,
        "</category>\n");
    out += "    <pubDate>Mon, 07 Dec 2026 10:" + std::to_string(10 + i % 50) + ":00 GMT</pubDate>\n";
    out += "    <guid isPermaLink=\"false\">urn:uuid:" + std::to_string(random.Next()) + "-" + std::to_string(i) +
           "</guid>\n";
    out += "    <enclosure url=\"https://example.org/media/" + std::to_string(i) +
           ".mp3\" length=\"123456\" type=\"audio/mpeg\"/>\n";
    out += "    <media:thumbnail url='https://example.org/thumbs/" + std::to_string(i) +
           ".jpg' width='120' height='90'/>\n";
    out += "  </item>\n";
  }
  out += "</channel>\n</rss>\n";
  return out;
}

// The same feed in Atom 1.0, item for entry, for reading with ReadAtom.
std::string GenerateAtomFeed(size_t items) {
  Random random;
  std::string out;
  out.reserve(items * 1400 + 4096);
  out +=
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<feed xmlns=\"http://www.w3.org/2005/Atom\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
      "xmlns:media=\"http://search.yahoo.com/mrss/\" xml:lang=\"en-us\">\n"
      "  <title>Benchmark &amp; Co. — Nachrichten</title>\n"
      "  <link href=\"https://example.org/\"/>\n"
      "  <subtitle>A generated feed for reading benchmarks</subtitle>\n"
      "  <id>urn:uuid:benchmark</id>\n"
      "  <updated>2026-12-07T10:00:00Z</updated>\n"
      "  <logo>https://example.org/logo.png</logo>\n";
  for (size_t i = 0; i < items; ++i) {
    Put(random, out, "  <entry>\n    <title>", 6, " &amp; ", 2);
    out += " #" + std::to_string(i);
    out += "</title>\n    <link href=\"https://example.org/articles/" + std::to_string(i) + "?ref=rss&amp;id=" +
           std::to_string(random.Next()) + "\"/>\n";
    Put(random, out, "    <summary type=\"html\"><![CDATA[<p>", 30, "</p><p><a href=\"https://example.org/more\">", 4,
        "</a></p>]]></summary>\n    <content type=\"html\">&lt;p&gt;", 32,
        " &#169; &quot;quoted&quot; &lt;/p&gt;</content>\n    <author><name>", 2,
        "</name></author>\n    <category scheme=\"https://example.org/tags\" term=\"", 1,
        "\"/>\n    <category term=\"", 1, "\"/>\n");
    out += "    <updated>2026-12-07T10:" + std::to_string(10 + i % 50) + ":00Z</updated>\n";
    out += "    <id>urn:uuid:" + std::to_string(random.Next()) + "-" + std::to_string(i) + "</id>\n";
    out += "    <link rel=\"enclosure\" href=\"https://example.org/media/" + std::to_string(i) +
           ".mp3\" length=\"123456\" type=\"audio/mpeg\"/>\n";
    out += "    <media:thumbnail url='https://example.org/thumbs/" + std::to_string(i) +
           ".jpg' width='120' height='90'/>\n";
    out += "  </entry>\n";
  }
  out += "</feed>\n";
  return out;
}

}  // namespace vk_bench
