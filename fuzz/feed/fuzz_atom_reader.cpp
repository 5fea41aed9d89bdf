// Reading any bytes with ReadAtom on: the read ends with 0 or a code and a
// message; what it read into the model can be read back and written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/Codes.h"
#include "feed/FeedEngine.h"

#include "TouchModel.h"

using namespace rssvane;

// The first byte switches DecodeDocument (bit 0) and code page 28591 (bit
// 1); the document's address runs to the first line feed, the document
// follows it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  FeedEngine engine;
  std::string answer;
  engine.Config("ReadAtom=true", answer);
  if (data[0] & 1) engine.Config("DecodeDocument=true", answer);
  if (data[0] & 2) engine.Config("CodePage=28591", answer);
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  size_t newline = rest.find('\n');
  std::string_view address = newline == std::string_view::npos ? std::string_view() : rest.substr(0, newline);
  std::string_view text = newline == std::string_view::npos ? rest : rest.substr(newline + 1);

  int rc = engine.ReadDocument(text, {}, address);
  if (rc != 0) {
    if (rc != engine.LastError() || engine.LastErrorText().empty()) std::abort();
    return 0;
  }
  FeedState& feed = engine.Feed();
  if (feed.Modified()) std::abort();
  TouchModel(feed);
  // Written as RSS, or refused for what RSS requires and the document lacks.
  std::string_view written;
  rc = engine.DocumentText(written);
  if (rc != 0 && rc != kErrVersionCheck) std::abort();
  return 0;
}
