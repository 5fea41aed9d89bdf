#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace rssvane {

// The content codings a response body is decoded from.
enum class ContentCoding {
  kIdentity,     // none, or only "identity"
  kGzip,         // "gzip" or "x-gzip"
  kDeflate,      // "deflate": zlib data, or raw deflate as some servers send it
  kUnsupported,  // any other coding, or more than one: the body is left as it is
};

// The coding of a Content-Encoding value (several header lines joined with
// commas); names compare ignoring case.
ContentCoding ContentCodingOf(std::string_view contentEncoding) noexcept;

// Bounds against a decompression bomb: a small body that decodes to an
// enormous one. Deflate expands at most about 1032 times; real feeds
// compress 5 to 20 times.
struct DecoderLimits {
  // The most decoded bytes one body may have.
  uint64_t maxDecodedBytes = 256 * 1024 * 1024;
  // Past this many decoded bytes, the decoded body may be at most maxRatio
  // times as long as the encoded bytes read so far.
  uint64_t ratioFloorBytes = 1024 * 1024;
  uint64_t maxRatio = 200;
};

// Decodes a gzip or deflate body as it streams in (zlib), into pieces of at
// most kPieceBytes. Free of sockets: encoded bytes in, decoded pieces out.
//
// Driver contract: Start for each body; for every encoded piece, Input it
// and take Next until it says false (the piece must stay valid until
// then); at the end of the body call Finish, which fails a stream cut
// short. After a failure (Failure() not 0, with FailureText()) nothing more
// comes out. A gzip body may hold several members, decoded one after the
// other; bytes after the end of the compressed data that do not start a
// new gzip member are dropped, as browsers drop them.
class ContentDecoder {
 public:
  static constexpr size_t kPieceBytes = 16384;

  ContentDecoder();
  ~ContentDecoder();
  ContentDecoder(const ContentDecoder&) = delete;
  ContentDecoder& operator=(const ContentDecoder&) = delete;

  // kIdentity and kUnsupported pass the bytes through unchanged.
  void Start(ContentCoding coding, const DecoderLimits& limits = {});
  void Input(std::string_view encoded) noexcept { input_ = encoded; }
  // The next decoded piece, valid until the next call; false when the input
  // is used up or decoding failed.
  bool Next(std::string_view& piece);
  // The body is complete: 0, or kErrHttp when its compressed data ended
  // early. A body of no bytes at all is an empty body.
  int Finish();

  int Failure() const noexcept { return failure_; }
  std::string_view FailureText() const noexcept { return failureText_; }

 private:
  enum class Phase { kHeader, kInflating, kAfterEnd, kDropping };
  struct Stream;

  bool Decodes() const noexcept { return coding_ == ContentCoding::kGzip || coding_ == ContentCoding::kDeflate; }
  bool Begin(bool zlibHeader);
  bool Inflate(std::string_view& piece);
  bool Fail(std::string text);
  std::string_view CodingName() const noexcept;

  ContentCoding coding_ = ContentCoding::kIdentity;
  DecoderLimits limits_;
  Phase phase_ = Phase::kHeader;
  std::unique_ptr<Stream> stream_;
  std::string_view input_;
  char head_[2] = {};  // the first bytes of a deflate body, which tell zlib data from raw
  size_t headBytes_ = 0;
  bool headGiven_ = false;
  bool outputFull_ = false;  // the last inflate filled its output: more may be pending
  bool anyInput_ = false;
  uint64_t encodedBytes_ = 0;
  uint64_t decodedBytes_ = 0;
  std::unique_ptr<char[]> output_;
  int failure_ = 0;
  std::string failureText_;
};

}  // namespace rssvane
