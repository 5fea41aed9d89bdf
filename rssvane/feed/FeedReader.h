#pragma once

#include <memory>
#include <string_view>

#include "base/GrowString.h"
#include "feed/FeedState.h"

namespace rssvane {

class XmlReader;

// Reads RSS text or a local file into a feed through the component's XML
// reader (XML mode, with a document tree). Any root element is accepted;
// only malformed XML fails. Each call returns 0 or a code and leaves the code
// and its message as the feed's last error.
class FeedReader {
 public:
  FeedReader();
  ~FeedReader();
  FeedReader(const FeedReader&) = delete;
  FeedReader& operator=(const FeedReader&) = delete;

  // The reader's part of the feed's Reset: it takes the multi-byte mode
  // (CharsetMode) and the code page that character references resolve into
  // (CodePage), and is reset to build a document tree.
  void Reset(bool multiByte, int codePage) noexcept;

  // Resets the feed (the model's Reset; the caller resets the layers below
  // it first) and replaces it with the document in text, up to its first
  // zero byte. On success the text is the feed's document text and the feed
  // is not modified.
  int ReadDocument(FeedState& feed, std::string_view text) noexcept;
  // Reads the file whole, then the document from its bytes; codes 302, 5, 6
  // and 10 for a file that cannot be opened or read (the feed is unchanged).
  int ReadFile(FeedState& feed, const char* path) noexcept;

  XmlReader& Reader() noexcept { return *reader_; }

 private:
  std::unique_ptr<XmlReader> reader_;
};

// Reads a local file whole into bytes, as ReadFile does before reading the
// document: codes 302, 5, 6 and 10 (left as the feed's last error) for a file
// that cannot be opened or read.
int LoadFile(FeedState& feed, const char* path, GrowString& bytes) noexcept;

}  // namespace rssvane
