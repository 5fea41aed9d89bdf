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
    out += "  <item>\n    <title>";
    Words(random, out, 6);
    out += " &amp; ";
    Words(random, out, 2);
    out += " #" + std::to_string(i);
    out += "</title>\n    <link>https://example.org/articles/" + std::to_string(i) + "?ref=rss&amp;id=" +
           std::to_string(random.Next()) + "</link>\n";
    out += "    <description><![CDATA[<p>";
    Words(random, out, 30);
    out += "</p><p><a href=\"https://example.org/more\">";
    Words(random, out, 4);
    out += "</a></p>]]></description>\n    <content:encoded>&lt;p&gt;";
    Words(random, out, 32);
    out += " &#169; &quot;quoted&quot; &lt;/p&gt;</content:encoded>\n";
    out += "    <dc:creator>";
    Words(random, out, 2);
    out += "</dc:creator>\n    <category domain=\"https://example.org/tags\">";
    Words(random, out, 1);
    out += "</category>\n    <category>";
    Words(random, out, 1);
    out += "</category>\n";
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

}  // namespace vk_bench
