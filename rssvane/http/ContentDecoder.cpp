#include "http/ContentDecoder.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <new>
#include <string>

#include "base/AsciiText.h"
#include "base/Codes.h"

namespace rssvane {

namespace {

constexpr int kMaxWindowBits = 15;
constexpr int kGzipWindowBits = 16 + kMaxWindowBits;  // zlib reads the gzip wrapper
constexpr int kRawWindowBits = -kMaxWindowBits;       // no wrapper at all

std::string_view Trimmed(std::string_view text) noexcept {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// RFC 1950: compression method 8 with a window of at most 32 KiB, and the
// two bytes a multiple of 31. Raw deflate data begins this way only by
// rare accident, and no encoder writes it so.
bool IsZlibHeader(unsigned char first, unsigned char second) noexcept {
  return (first & 0x0F) == 8 && (first >> 4) <= 7 && ((first << 8) | second) % 31 == 0;
}

}  // namespace

ContentCoding ContentCodingOf(std::string_view contentEncoding) noexcept {
  ContentCoding found = ContentCoding::kIdentity;
  while (!contentEncoding.empty()) {
    const size_t comma = contentEncoding.find(',');
    const std::string_view name = Trimmed(contentEncoding.substr(0, comma));
    contentEncoding.remove_prefix(comma == std::string_view::npos ? contentEncoding.size() : comma + 1);
    if (name.empty() || EqualsIgnoreCase(name, "identity")) continue;
    ContentCoding coding = ContentCoding::kUnsupported;
    if (EqualsIgnoreCase(name, "gzip") || EqualsIgnoreCase(name, "x-gzip")) coding = ContentCoding::kGzip;
    if (EqualsIgnoreCase(name, "deflate")) coding = ContentCoding::kDeflate;
    // A second coding would have to be undone first: not done here.
    if (found != ContentCoding::kIdentity || coding == ContentCoding::kUnsupported) return ContentCoding::kUnsupported;
    found = coding;
  }
  return found;
}

struct ContentDecoder::Stream {
  z_stream z{};
  bool open = false;
  ~Stream() {
    if (open) inflateEnd(&z);
  }
};

ContentDecoder::ContentDecoder() = default;

ContentDecoder::~ContentDecoder() = default;

void ContentDecoder::Start(ContentCoding coding, const DecoderLimits& limits) {
  coding_ = coding;
  limits_ = limits;
  phase_ = Phase::kHeader;
  stream_.reset();
  input_ = {};
  headBytes_ = 0;
  headGiven_ = false;
  outputFull_ = false;
  anyInput_ = false;
  encodedBytes_ = 0;
  decodedBytes_ = 0;
  failure_ = 0;
  failureText_.clear();
}

std::string_view ContentDecoder::CodingName() const noexcept {
  return coding_ == ContentCoding::kGzip ? "gzip" : "deflate";
}

bool ContentDecoder::Fail(std::string text) {
  failure_ = kErrHttp;
  failureText_ = std::move(text);
  stream_.reset();
  input_ = {};
  return false;
}

bool ContentDecoder::Begin(bool zlibHeader) {
  try {
    if (!output_) output_ = std::make_unique<char[]>(kPieceBytes);
    stream_ = std::make_unique<Stream>();
  } catch (const std::bad_alloc&) {
    return Fail("Out of memory.");
  }
  const int windowBits = coding_ == ContentCoding::kGzip ? kGzipWindowBits : zlibHeader ? kMaxWindowBits : kRawWindowBits;
  if (inflateInit2(&stream_->z, windowBits) != Z_OK) return Fail("Out of memory.");
  stream_->open = true;
  phase_ = Phase::kInflating;
  return true;
}

bool ContentDecoder::Next(std::string_view& piece) {
  if (failure_ != 0) return false;
  if (!Decodes()) {
    if (input_.empty()) return false;
    piece = input_;
    input_ = {};
    anyInput_ = true;
    decodedBytes_ += piece.size();
    return true;
  }
  for (;;) {
    switch (phase_) {
      case Phase::kHeader:
        if (coding_ == ContentCoding::kDeflate) {
          while (headBytes_ < 2 && !input_.empty()) {
            head_[headBytes_++] = input_.front();
            input_.remove_prefix(1);
            anyInput_ = true;
          }
          if (headBytes_ < 2) return false;
        }
        if (!Begin(IsZlibHeader(static_cast<unsigned char>(head_[0]), static_cast<unsigned char>(head_[1])))) {
          return false;
        }
        break;
      case Phase::kInflating:
        if (Inflate(piece)) return true;
        if (failure_ != 0 || phase_ == Phase::kInflating) return false;
        break;
      case Phase::kAfterEnd:
        if (input_.empty()) return false;
        // Another gzip member follows; anything else is dropped.
        if (coding_ == ContentCoding::kGzip && static_cast<unsigned char>(input_.front()) == 0x1F) {
          inflateReset(&stream_->z);
          phase_ = Phase::kInflating;
        } else {
          phase_ = Phase::kDropping;
        }
        break;
      case Phase::kDropping:
        input_ = {};
        return false;
    }
  }
}

// One inflate call that gives output: true with the piece; false when it
// needs more input, met the end of the stream (phase_ says) or failed.
bool ContentDecoder::Inflate(std::string_view& piece) {
  z_stream& z = stream_->z;
  for (;;) {
    if (z.avail_in == 0) {
      if (headBytes_ > 0 && !headGiven_) {
        z.next_in = reinterpret_cast<Bytef*>(head_);
        z.avail_in = static_cast<uInt>(headBytes_);
        headGiven_ = true;
      } else if (!input_.empty()) {
        const size_t n = std::min<size_t>(input_.size(), UINT_MAX);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input_.data()));
        z.avail_in = static_cast<uInt>(n);
        input_.remove_prefix(n);
        anyInput_ = true;
      } else if (!outputFull_) {
        return false;
      }
    }
    const uInt inBefore = z.avail_in;
    z.next_out = reinterpret_cast<Bytef*>(output_.get());
    z.avail_out = static_cast<uInt>(kPieceBytes);
    const int rc = inflate(&z, Z_NO_FLUSH);
    const size_t produced = kPieceBytes - z.avail_out;
    encodedBytes_ += inBefore - z.avail_in;
    outputFull_ = z.avail_out == 0;
    switch (rc) {
      case Z_OK:
      case Z_BUF_ERROR:  // no progress possible now: more input is needed
        break;
      case Z_STREAM_END: {
        phase_ = Phase::kAfterEnd;
        outputFull_ = false;
        // Bytes after the end of the data stay pending: a next gzip member
        // starts there, or they are dropped.
        const char* rest = reinterpret_cast<const char*>(z.next_in);
        if (z.avail_in > 0 && (rest < head_ || rest >= head_ + sizeof head_)) {
          input_ = std::string_view(rest, z.avail_in + input_.size());
        }
        z.avail_in = 0;
        break;
      }
      case Z_MEM_ERROR: return Fail("Out of memory.");
      case Z_NEED_DICT:
        return Fail("The response body is not valid " + std::string(CodingName()) + " data: it needs a preset dictionary.");
      default:
        return Fail("The response body is not valid " + std::string(CodingName()) +
                    " data: " + (z.msg != nullptr ? z.msg : "unreadable") + ".");
    }
    decodedBytes_ += produced;
    if (decodedBytes_ > limits_.maxDecodedBytes) {
      return Fail("The response body decodes to more than " + std::to_string(limits_.maxDecodedBytes) +
                  " bytes; decoding stopped.");
    }
    if (decodedBytes_ > limits_.ratioFloorBytes && decodedBytes_ / limits_.maxRatio > encodedBytes_) {
      return Fail("The response body decodes to more than " + std::to_string(limits_.maxRatio) +
                  " times its size; decoding stopped.");
    }
    if (produced > 0) {
      piece = std::string_view(output_.get(), produced);
      return true;
    }
    if (rc == Z_STREAM_END || rc == Z_BUF_ERROR) return false;
  }
}

int ContentDecoder::Finish() {
  if (failure_ != 0) return failure_;
  if (!Decodes() || !anyInput_ || phase_ == Phase::kAfterEnd || phase_ == Phase::kDropping) return 0;
  Fail("The response body ends inside its " + std::string(CodingName()) + " data.");
  return failure_;
}

}  // namespace rssvane
