#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <rssvane/RSSTypes.h>

#include "http/ContentDecoder.h"
#include "http/Cookie.h"

namespace rssvane {

// Where the response parser is. Lines are cut at LF with one trailing CR
// dropped; a body and chunk data are read raw, by count.
enum class ResponseState {
  kStatusLine,
  kAfterInterim,  // a 1xx status was read; its header lines are skipped
  kHeaders,
  kBody,       // until Content-Length bytes or, without one, the close
  kChunkSize,
  kChunkData,
  kChunkEnd,   // the CR LF after a chunk's data
  kLastChunk,  // trailer lines up to the empty line
  kEnded,      // the transfer ended; later bytes are dropped
  kFailed,     // Failure() says why; later bytes are dropped
};

// The events of one response, in the order the bytes bring them. The
// handler must not deliver to the parser from inside an event.
class ResponseListener {
 public:
  virtual ~ResponseListener() = default;
  // A final status line (code outside 100-199).
  virtual void Status(std::string_view /*version*/, int32_t /*code*/, std::string_view /*text*/) {}
  // Every header line; a continuation line has an empty name.
  virtual void Header(std::string_view /*name*/, std::string_view /*value*/) {}
  // After the Header event of each Set-Cookie line.
  virtual void SetCookie(const Cookie& /*cookie*/) {}
  // After the Header event of each WWW-Authenticate line: the driver clears
  // its Authorization value and hands the value to ReadDigestChallenge.
  virtual void Challenge(std::string_view /*value*/) {}
  // The end of the headers, unless a redirect Location is held.
  virtual void StartTransfer() {}
  // Every piece of body, unless a redirect Location is held; bytesTransferred
  // counts the body so far, this piece included, in 64 bits (the published
  // event narrows it to its 32-bit argument). A decoded body comes decoded,
  // and is counted so.
  virtual void Transfer(uint64_t /*bytesTransferred*/, std::string_view /*piece*/) {}
  // The end of the body, once, unless a redirect Location is held.
  virtual void EndTransfer() {}
  // A body piece could not be kept in the transferred data; the transfer
  // goes on.
  virtual void Error(int /*code*/, std::string_view /*text*/) {}
};

struct ResponseOptions {
  TFollowRedirects followRedirects = frNever;  // frNever: no Location is held
  uint64_t maxTransferredData = 4096;          // 0: the whole body is kept
  // A body with Content-Encoding gzip or deflate is decoded as it comes, for
  // a request that sent Accept-Encoding; otherwise every body is kept as sent.
  bool decodeContent = false;
  DecoderLimits decoderLimits = {};
};

// The most bytes of status lines (interim ones included) and headers one
// response may have, and the same again for its trailers or for one chunk
// size line; more fails the response. Servers keep theirs far below this.
inline constexpr size_t kMaxResponseHeaderBytes = 256 * 1024;

// Reads one HTTP response from the pieces a line buffer hands over.
//
// Driver contract (HttpClient over TcpConnection's LineBuffer):
// - Start when the request is sent, then set the line terminator to
//   Terminator() ("\n" for lines, "" for raw) after every Deliver.
// - Deliver every piece as the line buffer cuts it: a line without its
//   terminator and endedByTerminator true, or bytes without one. Any cut gives
//   the same response: pieces may split lines, and raw pieces may run past
//   RawLimit() (the bytes left of a chunk or of Content-Length), which a line
//   buffer able to stop there should honour to save the parser a copy.
// - When the connection closes, call Closed: it ends a body that runs to the
//   close, and fails a response cut short.
// - The response is over when TransferEnded() (close the connection unless
//   KeepAlive, and always in asynchronous mode) or Failure() (close it: it
//   cannot be reused); evaluate it with EvaluateResponse.
// Lines are asked for with LF alone, chunk size lines included, and one CR
// before it is dropped; chunk data comes raw, so a CR LF inside it is data.
class ResponseParser {
 public:
  explicit ResponseParser(ResponseListener& listener) noexcept : listener_(listener) {}

  void Start(const ResponseOptions& options);
  void Deliver(std::string_view piece, bool endedByTerminator);
  void Closed();

  std::string_view Terminator() const noexcept;
  uint64_t RawLimit() const noexcept;
  ResponseState State() const noexcept { return state_; }
  bool TransferEnded() const noexcept { return state_ == ResponseState::kEnded; }
  // 0, or kErrHttp with FailureText(): closed before the response was
  // whole, a Content-Length or chunk size that is not a number that fits,
  // chunk data not followed by CR LF, headers over kMaxResponseHeaderBytes,
  // a compressed body that is corrupt, cut short or over the decoder's limits.
  int Failure() const noexcept { return failure_; }
  std::string_view FailureText() const noexcept { return failureText_; }

  bool HasStatusLine() const noexcept { return hasStatusLine_; }
  std::string_view StatusLine() const noexcept { return statusLine_; }
  std::string_view HttpVersion() const noexcept { return httpVersion_; }
  int32_t StatusCode() const noexcept { return statusCode_; }
  std::string_view StatusText() const noexcept { return statusText_; }
  int64_t ContentLength() const noexcept { return contentLength_; }  // -1: not given
  bool Chunked() const noexcept { return chunked_; }
  // The last Location of a redirect (3xx) while FollowRedirects is not frNever.
  bool HasLocation() const noexcept { return hasLocation_; }
  std::string_view Location() const noexcept { return location_; }
  std::string_view TransferredData() const noexcept { return transferredData_; }
  // The body's bytes so far, decoded when it is.
  uint64_t BytesTransferred() const noexcept { return bodyBytes_; }

 private:
  bool InLineState() const noexcept;
  void Consume(std::string_view data);
  bool CountLineBytes(size_t n);
  void HandleLine(std::string_view line);
  void StatusLineIn(std::string_view line);
  void HeaderLineIn(std::string_view line);
  void HeadersEnded();
  void ChunkSizeIn(std::string_view line);
  void NoStatusLine();
  void Body(std::string_view piece);
  void Keep(std::string_view decoded);
  void EndTransfer();
  void Fail(std::string text);

  ResponseListener& listener_;
  ResponseOptions options_;
  ResponseState state_ = ResponseState::kStatusLine;
  std::string pending_;  // the start of a line cut before its LF
  size_t headerBytes_ = 0;
  bool receivedAny_ = false;
  int failure_ = 0;
  std::string failureText_;

  bool hasStatusLine_ = false;
  std::string statusLine_;
  std::string httpVersion_;
  int32_t statusCode_ = 0;
  std::string statusText_;
  int64_t contentLength_ = -1;
  bool chunked_ = false;
  uint64_t chunkRemaining_ = 0;
  bool hasLocation_ = false;
  std::string location_;
  std::string contentEncoding_;  // the Content-Encoding lines, joined with commas
  ContentDecoder decoder_;
  std::string transferredData_;
  uint64_t encodedBodyBytes_ = 0;  // as received: what Content-Length counts
  uint64_t bodyBytes_ = 0;
};

}  // namespace rssvane
