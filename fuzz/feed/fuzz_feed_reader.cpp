// Feed reading of any bytes: the read ends with 0 or a code and a message,
// and whatever it read into the model can be read back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "feed/FeedReader.h"
#include "xml/XmlReader.h"

#include "TouchModel.h"

using namespace rssvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  FeedReader reader;
  FeedState feed;
  reader.Reset(data[0] & 1, data[0] & 8 ? 932 : 0);
  reader.Reader().SetIgnoreBadElementPrefixes(data[0] & 2);
  reader.Reader().SetIgnoreBadAttributePrefixes(data[0] & 4);
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  int rc = reader.ReadDocument(feed, text);
  if (rc != 0) {
    if (rc != feed.LastError() || feed.LastErrorText().empty()) std::abort();
    return 0;
  }
  if (feed.Modified()) std::abort();
  if (feed.DocumentText() != text.substr(0, feed.DocumentText().size())) std::abort();
  TouchModel(feed);
  return 0;
}
