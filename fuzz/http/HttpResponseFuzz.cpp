// A response read in one piece and the same bytes cut by the connection's
// own line buffer, small and receiving little at a time, must give the same
// events, body, outcome and failure.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ResponseFeed.h"

namespace {

struct Outcome {
  rssvane::Recorder events;
  rssvane::ResponseParser parser{events};
};

void Start(Outcome& o, uint8_t options) {
  o.parser.Start({static_cast<rssvane::TFollowRedirects>(options % 3), static_cast<uint64_t>(options >> 2)});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  uint8_t options = data[0];
  size_t capacity = 1 + data[1] % 64;
  size_t read = 1 + data[2] % 16;
  std::string_view text(reinterpret_cast<const char*>(data + 3), size - 3);

  Outcome whole;
  Start(whole, options);
  whole.parser.Deliver(text, false);
  whole.parser.Closed();

  Outcome cut;
  Start(cut, options);
  rssvane::FeedThroughLineBuffer(cut.parser, text, capacity, read);

  const rssvane::ResponseParser& a = whole.parser;
  const rssvane::ResponseParser& b = cut.parser;
  if (whole.events.events != cut.events.events || whole.events.body != cut.events.body) std::abort();
  if (!whole.events.countsAgree || !cut.events.countsAgree) std::abort();
  if (a.Failure() != b.Failure() || a.FailureText() != b.FailureText()) std::abort();
  if (a.TransferEnded() != b.TransferEnded() || a.State() != b.State()) std::abort();
  if (a.HasStatusLine() != b.HasStatusLine() || a.StatusCode() != b.StatusCode()) std::abort();
  if (a.Location() != b.Location() || a.TransferredData() != b.TransferredData()) std::abort();
  if (a.BytesTransferred() != b.BytesTransferred() || a.BytesTransferred() > text.size()) std::abort();
  // A closed connection always leaves a finished response.
  if (!a.TransferEnded() && a.Failure() == 0) std::abort();
  return 0;
}
