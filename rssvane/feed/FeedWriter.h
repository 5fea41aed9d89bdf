#pragma once

#include <cstddef>
#include <string_view>

#include "base/GrowString.h"
#include "feed/FeedState.h"

namespace rssvane {

// Writes a feed as RSS text in the component's one fixed layout (a leading
// space before the declaration, CR LF line ends, two spaces a level) and
// keeps the result as the feed's cached document text. Nothing is escaped:
// texts and attribute values go out exactly as stored.
class FeedWriter {
 public:
  // Produces the document text of feed into out, replacing it. 0, or 234
  // when the feed's version requires something it lacks, or 200. Fills in
  // the default generator when the channel has none.
  static int Produce(FeedState& feed, GrowString& out) noexcept;

  // The feed's document text, produced anew only when the cache is empty or
  // the feed changed since. After a failed production the cache keeps its
  // earlier text but the feed stays modified, so the next request produces
  // (and reports the failure) again instead of handing out stale text.
  int DocumentText(FeedState& feed, std::string_view& out) noexcept;

  // Stores the document text in path through a temporary file in the same
  // folder, flushed and renamed over the target, so the old file survives a
  // failed or interrupted write. 302 when the file cannot be created or put
  // in place, 128 when writing fails.
  int WriteFile(FeedState& feed, const char* path) noexcept;

  // How many times the text was produced; the cache is meant to keep this low.
  size_t Productions() const noexcept { return productions_; }

 private:
  size_t productions_ = 0;
};

}  // namespace rssvane
