// The feed model with 100,000 items: AddItem at position 1, item access by
// index and field look-up by name. The peer is the plain approach of keeping
// the items in one contiguous array of pointers and inserting at the front,
// which moves every pointer on each insert.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "feed/FeedState.h"

namespace {

constexpr int kItems = 100000;
constexpr int kRuns = 5;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct Timings {
  double insert;
  double access;
  double lookup;
};

Timings RunModel(size_t& check) {
  rssvane::FeedState feed;
  auto t0 = Clock::now();
  for (int i = 0; i < kItems; ++i) {
    if (feed.AddItem("title", "description", "https://example.org/item")) std::abort();
  }
  auto t1 = Clock::now();
  size_t total = 0;
  for (long i = 1; i <= kItems; ++i) {
    std::string_view title;
    feed.ItemText(i, rssvane::item_field::kTitle, title);
    total += title.size();
  }
  auto t2 = Clock::now();
  for (long i = 1; i <= kItems; ++i) {
    const rssvane::FeedField* field = feed.Item(i)->Find("enclosure");
    total += field ? field->Name().size() : 0;
  }
  auto t3 = Clock::now();
  check += total;
  return {Seconds(t1 - t0), Seconds(t2 - t1), Seconds(t3 - t2)};
}

double RunContiguousPeer(size_t& check) {
  std::vector<std::unique_ptr<rssvane::FeedContainer>> items;
  auto t0 = Clock::now();
  for (int i = 0; i < kItems; ++i) {
    auto item = std::make_unique<rssvane::FeedContainer>(rssvane::ContainerKind::kItem);
    item->Fixed(rssvane::item_field::kTitle).SetText("title");
    item->Fixed(rssvane::item_field::kDescription).SetText("description");
    item->Fixed(rssvane::item_field::kLink).SetText("https://example.org/item");
    items.insert(items.begin(), std::move(item));
  }
  auto t1 = Clock::now();
  check += items.size();
  return Seconds(t1 - t0);
}

}  // namespace

int main() {
  std::vector<double> insert, access, lookup, peer;
  size_t check = 0;
  for (int run = 0; run < kRuns; ++run) {
    Timings t = RunModel(check);
    insert.push_back(t.insert);
    access.push_back(t.access);
    lookup.push_back(t.lookup);
    peer.push_back(RunContiguousPeer(check));
  }
  double ours = Median(insert);
  double theirs = Median(peer);
  std::printf("feed model, %d items, median of %d runs\n", kItems, kRuns);
  std::printf("  AddItem at position 1:     %8.1f ms  (%.0f ns per item)\n", ours * 1e3, ours * 1e9 / kItems);
  std::printf("  item access by index:      %8.1f ms  (%.0f ns per item)\n", Median(access) * 1e3,
              Median(access) * 1e9 / kItems);
  std::printf("  field look-up by name:     %8.1f ms  (%.0f ns per item)\n", Median(lookup) * 1e3,
              Median(lookup) * 1e9 / kItems);
  std::printf("  peer, contiguous front insert: %8.1f ms\n", theirs * 1e3);
  std::printf("  ratio peer/ours for inserting: %.2fx\n", theirs / ours);
  std::printf("  target: %d inserts far below one second: %s\n", kItems, ours < 0.25 ? "met" : "NOT met");
  return check == 0 || ours >= 0.25 ? 1 : 0;
}
