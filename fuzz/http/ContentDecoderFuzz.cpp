// Whatever a server sends as a gzip or deflate body, the decoder gives the
// same bytes however the body is cut, fails with a text rather than crash,
// and never gives more than its limits allow.
//
// Input: one byte of choices (coding, cut size), then the encoded body.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/Codes.h"
#include "http/ContentDecoder.h"

namespace {

// Small enough that a bomb is quick to meet.
constexpr rssvane::DecoderLimits kLimits{.maxDecodedBytes = 4 * 1024 * 1024, .ratioFloorBytes = 64 * 1024, .maxRatio = 200};

struct Run {
  std::string body;
  int failure = 0;
  std::string text;
};

Run Decode(rssvane::ContentCoding coding, std::string_view encoded, size_t cut) {
  rssvane::ContentDecoder decoder;
  decoder.Start(coding, kLimits);
  Run run;
  std::string_view piece;
  for (size_t at = 0; at < encoded.size() && decoder.Failure() == 0; at += cut) {
    decoder.Input(encoded.substr(at, cut));
    while (decoder.Next(piece)) {
      if (piece.empty() || piece.size() > rssvane::ContentDecoder::kPieceBytes) std::abort();
      run.body += piece;
    }
  }
  run.failure = decoder.Failure() != 0 ? decoder.Failure() : decoder.Finish();
  run.text = decoder.FailureText();
  if (run.body.size() > kLimits.maxDecodedBytes) std::abort();
  if ((run.failure != 0) != !run.text.empty() || (run.failure != 0 && run.failure != rssvane::kErrHttp)) std::abort();
  return run;
}

bool LimitMet(const Run& run) { return run.text.find("decoding stopped") != std::string::npos; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t choices = data[0];
  const auto coding = (choices & 1) ? rssvane::ContentCoding::kGzip : rssvane::ContentCoding::kDeflate;
  const size_t cut = 1 + (choices >> 1) % 64;
  std::string_view encoded(reinterpret_cast<const char*>(data + 1), size - 1);

  Run whole = Decode(coding, encoded, encoded.size() + 1);
  Run cutUp = Decode(coding, encoded, cut);
  // The limits are checked as zlib consumes its input, which depends on the
  // cuts; everything else must not.
  if (LimitMet(whole) || LimitMet(cutUp)) return 0;
  if (whole.failure != cutUp.failure || whole.text != cutUp.text) std::abort();
  if (whole.failure == 0 && whole.body != cutUp.body) std::abort();
  // Before a failure, one of them may have given a piece more.
  const std::string& shorter = whole.body.size() < cutUp.body.size() ? whole.body : cutUp.body;
  const std::string& longer = whole.body.size() < cutUp.body.size() ? cutUp.body : whole.body;
  if (longer.compare(0, shorter.size(), shorter) != 0) std::abort();
  return 0;
}
