// Writing the model of a 10,000-item feed to RSS text, against pugixml
// saving the same document (built beforehand as its own tree) into memory.
// Both produce the same elements with two-space indentation; pugixml also
// escapes, which the component leaves to the caller.
#include <pugixml.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "feed/FeedWriter.h"

namespace {

constexpr int kItems = 10000;
constexpr int kRuns = 15;

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct ItemText {
  std::string title, description, link, pubDate, guid, category;
};

ItemText MakeItem(int i) {
  std::string n = std::to_string(i);
  return {"Item number " + n,
          "A short description of item " + n + ", long enough to look like a real summary of an article.",
          "https://example.org/articles/" + n,
          "Mon, 07 Dec 2026 10:00:00 GMT",
          "https://example.org/articles/" + n + "#guid",
          "News"};
}

void BuildModel(rssvane::FeedState& feed) {
  using namespace rssvane;
  feed.SetFieldText(feed.Channel().Fixed(channel_field::kTitle), "Benchmark feed");
  feed.SetFieldText(feed.Channel().Fixed(channel_field::kLink), "https://example.org/");
  feed.SetFieldText(feed.Channel().Fixed(channel_field::kDescription), "Ten thousand items");
  if (feed.SetItemCount(kItems)) std::abort();
  for (int i = 0; i < kItems; ++i) {
    ItemText t = MakeItem(i);
    long index = i + 1;
    feed.SetItemText(index, item_field::kTitle, t.title);
    feed.SetItemText(index, item_field::kDescription, t.description);
    feed.SetItemText(index, item_field::kLink, t.link);
    feed.SetItemText(index, item_field::kPubDate, t.pubDate);
    feed.SetItemText(index, item_field::kCategory, t.category);
    feed.SetItemAttribute(index, item_field::kCategory, "domain", "https://example.org/categories");
    feed.SetItemText(index, item_field::kGuid, t.guid);
  }
}

void BuildPeer(pugi::xml_document& doc) {
  pugi::xml_node rss = doc.append_child("rss");
  rss.append_attribute("version") = "2.0";
  pugi::xml_node channel = rss.append_child("channel");
  channel.append_child("title").text() = "Benchmark feed";
  channel.append_child("link").text() = "https://example.org/";
  channel.append_child("description").text() = "Ten thousand items";
  channel.append_child("generator").text() = "Kestrix Version 6.0 RSS Component";
  for (int i = 0; i < kItems; ++i) {
    ItemText t = MakeItem(i);
    pugi::xml_node item = channel.append_child("item");
    item.append_child("title").text() = t.title.c_str();
    item.append_child("description").text() = t.description.c_str();
    item.append_child("link").text() = t.link.c_str();
    item.append_child("pubDate").text() = t.pubDate.c_str();
    pugi::xml_node category = item.append_child("category");
    category.append_attribute("domain") = "https://example.org/categories";
    category.text() = t.category.c_str();
    item.append_child("guid").text() = t.guid.c_str();
  }
}

struct StringWriter : pugi::xml_writer {
  std::string text;
  void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
};

}  // namespace

int main() {
  rssvane::FeedState feed;
  BuildModel(feed);
  pugi::xml_document doc;
  BuildPeer(doc);

  std::vector<double> ours, peer;
  size_t ourBytes = 0, peerBytes = 0;
  for (int run = 0; run < kRuns; ++run) {
    auto t0 = Clock::now();
    rssvane::GrowString text;
    if (rssvane::FeedWriter::Produce(feed, text)) std::abort();
    auto t1 = Clock::now();
    StringWriter writer;
    doc.save(writer, "  ", pugi::format_indent, pugi::encoding_utf8);
    auto t2 = Clock::now();
    ours.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    peer.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
    ourBytes = text.Length();
    peerBytes = writer.text.size();
  }
  double o = Median(ours), p = Median(peer);
  std::printf("writing a %d-item feed to text (median of %d runs)\n", kItems, kRuns);
  std::printf("  rssvane FeedWriter::Produce   %8.2f ms  %zu bytes\n", o, ourBytes);
  std::printf("  pugixml xml_document::save    %8.2f ms  %zu bytes\n", p, peerBytes);
  std::printf("  ratio pugixml / rssvane       %8.2f  (above 1: rssvane is faster)\n", p / o);
  return 0;
}
