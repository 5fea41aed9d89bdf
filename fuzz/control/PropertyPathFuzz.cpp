// Property paths come from hosts and scripts as any text. The input is a
// path, a newline and a value: setting the value and reading it back must
// agree, and the feed must still be writable.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "feed/FeedWriter.h"
#include "feed/PropertyPath.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t newline = input.find('\n');
  std::string_view path = input.substr(0, newline);
  std::string_view value = newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);

  rssvane::FeedState feed;
  feed.SetVersion(rssvane::rssVersionUndefined);
  for (int i = 0; i < 3; ++i) feed.AddItem("t", "d", "l");

  std::string_view before;
  int getCode = rssvane::GetPropertyValue(feed, path, before);
  if (getCode != 0 && !before.empty()) std::abort();

  int setCode = rssvane::SetPropertyValue(feed, path, value);
  if (setCode == 0) {
    std::string_view after;
    if (rssvane::GetPropertyValue(feed, path, after) != 0 || after != value) std::abort();
  } else if (setCode != rssvane::kErrInvalidIndex && setCode != rssvane::kErrPropertyPath) {
    std::abort();
  }
  if (feed.ItemCount() != 3) std::abort();

  rssvane::GrowString text;
  if (rssvane::FeedWriter::Produce(feed, text) != 0) std::abort();
  return 0;
}
