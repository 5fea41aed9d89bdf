#include "http/Response.h"

#include <algorithm>
#include <limits>
#include <new>
#include <utility>

#include "base/AsciiText.h"
#include "base/Codes.h"
#include "http/HttpText.h"

namespace rssvane {

namespace {

constexpr std::string_view kLineTerminator = "\n";

std::string_view DropCr(std::string_view line) noexcept {
  if (line.ends_with('\r')) line.remove_suffix(1);
  return line;
}

}  // namespace

void ResponseParser::Start(const ResponseOptions& options) {
  options_ = options;
  state_ = ResponseState::kStatusLine;
  pending_.clear();
  headerBytes_ = 0;
  receivedAny_ = false;
  failure_ = 0;
  failureText_.clear();
  hasStatusLine_ = false;
  statusLine_.clear();
  httpVersion_.clear();
  statusCode_ = 0;
  statusText_.clear();
  contentLength_ = -1;
  chunked_ = false;
  chunkRemaining_ = 0;
  hasLocation_ = false;
  location_.clear();
  contentEncoding_.clear();
  transferredData_.clear();
  encodedBodyBytes_ = 0;
  bodyBytes_ = 0;
}

bool ResponseParser::InLineState() const noexcept {
  switch (state_) {
    case ResponseState::kStatusLine:
    case ResponseState::kAfterInterim:
    case ResponseState::kHeaders:
    case ResponseState::kChunkSize:
    case ResponseState::kChunkEnd:
    case ResponseState::kLastChunk:
      return true;
    default:
      return false;
  }
}

std::string_view ResponseParser::Terminator() const noexcept {
  return state_ == ResponseState::kBody || state_ == ResponseState::kChunkData ? std::string_view()
                                                                               : kLineTerminator;
}

uint64_t ResponseParser::RawLimit() const noexcept {
  if (state_ == ResponseState::kChunkData) return chunkRemaining_;
  if (state_ == ResponseState::kBody && contentLength_ >= 0) {
    return static_cast<uint64_t>(contentLength_) - encodedBodyBytes_;
  }
  return 0;
}

void ResponseParser::Deliver(std::string_view piece, bool endedByTerminator) {
  // The terminator that cut this piece is the one asked for before it.
  std::string_view terminator = endedByTerminator ? Terminator() : std::string_view();
  if (piece.empty() && terminator.empty()) return;
  receivedAny_ = true;
  if (state_ == ResponseState::kStatusLine && pending_.empty() && !piece.starts_with('H')) {
    // No status line: this line, with the byte that ended it, is the first
    // piece of a body that runs to the close.
    NoStatusLine();
    if (terminator.empty()) return Consume(piece);
    std::string first(piece);
    first += terminator;
    return Consume(first);
  }
  if (InLineState() && pending_.empty() && terminator == kLineTerminator &&
      piece.find('\n') == std::string_view::npos) {
    // The usual case: one whole line, read where it lies.
    if (CountLineBytes(piece.size() + 1)) HandleLine(piece);
    return;
  }
  Consume(piece);
  Consume(terminator);
}

void ResponseParser::Consume(std::string_view data) {
  while (!data.empty()) {
    switch (state_) {
      case ResponseState::kEnded:
      case ResponseState::kFailed:
        return;
      case ResponseState::kBody: {
        size_t n = data.size();
        if (contentLength_ >= 0) n = static_cast<size_t>(std::min<uint64_t>(n, RawLimit()));
        Body(data.substr(0, n));
        data.remove_prefix(n);
        break;
      }
      case ResponseState::kChunkData: {
        size_t n = static_cast<size_t>(std::min<uint64_t>(data.size(), chunkRemaining_));
        chunkRemaining_ -= n;
        if (chunkRemaining_ == 0) state_ = ResponseState::kChunkEnd;
        Body(data.substr(0, n));
        data.remove_prefix(n);
        break;
      }
      case ResponseState::kStatusLine:
        if (pending_.empty() && data.front() != 'H') {
          NoStatusLine();
          break;
        }
        [[fallthrough]];
      default: {
        size_t lf = data.find('\n');
        if (!CountLineBytes(lf == std::string_view::npos ? data.size() : lf + 1)) return;
        if (lf == std::string_view::npos) {
          pending_.append(data);
          return;
        }
        std::string_view line = data.substr(0, lf);
        if (!pending_.empty()) line = pending_.append(line);
        data.remove_prefix(lf + 1);
        HandleLine(line);
        pending_.clear();
      }
    }
  }
}

bool ResponseParser::CountLineBytes(size_t n) {
  bool chunkLine = state_ == ResponseState::kChunkSize || state_ == ResponseState::kChunkEnd;
  size_t used = chunkLine ? pending_.size() : headerBytes_;
  if (n > kMaxResponseHeaderBytes - used) {
    Fail(chunkLine ? "A chunk size line of the response is longer than 262144 bytes."
                   : "The response headers are longer than 262144 bytes.");
    return false;
  }
  if (!chunkLine) headerBytes_ += n;
  return true;
}

void ResponseParser::HandleLine(std::string_view rawLine) {
  std::string_view line = DropCr(rawLine);
  switch (state_) {
    case ResponseState::kStatusLine:
      return StatusLineIn(line);
    case ResponseState::kAfterInterim:
      // The interim response's own headers are skipped up to its empty line.
      if (rawLine.size() <= 1) {
        state_ = ResponseState::kStatusLine;
      } else if (line.starts_with('H')) {
        StatusLineIn(line);
      }
      return;
    case ResponseState::kHeaders:
      return line.empty() ? HeadersEnded() : HeaderLineIn(line);
    case ResponseState::kChunkSize:
      return ChunkSizeIn(line);
    case ResponseState::kChunkEnd:
      if (!line.empty()) return Fail("Invalid chunked body: chunk data is not followed by CR LF.");
      state_ = ResponseState::kChunkSize;
      return;
    case ResponseState::kLastChunk:
      // Trailer lines are read and dropped; the empty line ends the body.
      if (line.empty()) EndTransfer();
      return;
    default:
      return;
  }
}

void ResponseParser::StatusLineIn(std::string_view line) {
  encodedBodyBytes_ = 0;
  bodyBytes_ = 0;
  transferredData_.clear();
  hasStatusLine_ = true;
  statusLine_ = line;
  size_t blank = line.find(' ');
  httpVersion_ = line.substr(0, blank);
  std::string_view rest = blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
  blank = rest.find(' ');
  statusText_ = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
  int64_t code = 0;
  ReadNumber(rest.substr(0, blank), 10, code);
  statusCode_ = static_cast<int32_t>(std::clamp<int64_t>(code, std::numeric_limits<int32_t>::min(),
                                                         std::numeric_limits<int32_t>::max()));
  if (statusCode_ >= 100 && statusCode_ <= 199) {
    state_ = ResponseState::kAfterInterim;
    return;
  }
  state_ = ResponseState::kHeaders;
  listener_.Status(httpVersion_, statusCode_, statusText_);
}

void ResponseParser::HeaderLineIn(std::string_view line) {
  std::string_view name;
  std::string_view value;
  if (static_cast<unsigned char>(line.front()) < 33) {
    value = line.substr(1);
  } else {
    size_t colon = line.find(':');
    name = line.substr(0, colon);
    if (colon != std::string_view::npos) {
      value = line.substr(colon + 1);
      if (value.starts_with(' ')) value.remove_prefix(1);
    }
  }
  // Only a redirect's Location is held: one on a 201 or 200 answer must not
  // cost the caller that answer's body.
  bool redirect = statusCode_ >= 300 && statusCode_ <= 399;
  if (redirect && options_.followRedirects != frNever && EqualsIgnoreCase(name, "Location")) {
    hasLocation_ = true;
    location_ = value;
  }
  listener_.Header(name, value);
  if (EqualsIgnoreCase(name, "Content-Length")) {
    if (ReadNumber(value, 10, contentLength_) != NumberRead::kOk || contentLength_ < 0) {
      contentLength_ = -1;
      return Fail("Invalid Content-Length in the response: not a number from 0 to 9223372036854775807.");
    }
  } else if (EqualsIgnoreCase(name, "Content-Encoding")) {
    if (!contentEncoding_.empty()) contentEncoding_ += ',';
    contentEncoding_ += value;
  } else if (EqualsIgnoreCase(name, "Transfer-Encoding")) {
    if (EqualsIgnoreCase(value, "chunked")) chunked_ = true;
  } else if (EqualsIgnoreCase(name, "WWW-Authenticate")) {
    listener_.Challenge(value);
  } else if (EqualsIgnoreCase(name, "Set-Cookie")) {
    listener_.SetCookie(ReadSetCookie(value));
  }
}

void ResponseParser::HeadersEnded() {
  // A redirect's body is not read, so it is not decoded either; a coding
  // not decoded here reaches the caller as sent.
  ContentCoding coding = ContentCoding::kIdentity;
  if (options_.decodeContent && !hasLocation_) coding = ContentCodingOf(contentEncoding_);
  decoder_.Start(coding == ContentCoding::kUnsupported ? ContentCoding::kIdentity : coding, options_.decoderLimits);
  if (!hasLocation_) listener_.StartTransfer();
  // 204 and 304 answers never carry a body, whatever their headers say;
  // waiting for one would hang a kept-alive connection.
  if (statusCode_ == 204 || statusCode_ == 304) return EndTransfer();
  if (chunked_) {
    state_ = ResponseState::kChunkSize;
    return;
  }
  state_ = ResponseState::kBody;
  if (contentLength_ == 0) EndTransfer();
}

void ResponseParser::ChunkSizeIn(std::string_view line) {
  int64_t size = 0;
  // Extensions after the size, from ";" on, are ignored.
  if (ReadNumber(line, 16, size) != NumberRead::kOk || size < 0) {
    return Fail("Invalid chunk size in the response: not a hexadecimal number from 0 to 7fffffffffffffff.");
  }
  if (size == 0) {
    state_ = ResponseState::kLastChunk;
    headerBytes_ = 0;
    return;
  }
  chunkRemaining_ = static_cast<uint64_t>(size);
  state_ = ResponseState::kChunkData;
}

void ResponseParser::NoStatusLine() {
  decoder_.Start(ContentCoding::kIdentity);
  hasStatusLine_ = false;
  statusLine_.clear();
  httpVersion_.clear();
  statusCode_ = 0;
  statusText_.clear();
  state_ = ResponseState::kBody;
}

void ResponseParser::Body(std::string_view piece) {
  encodedBodyBytes_ += piece.size();
  if (!hasLocation_) {
    decoder_.Input(piece);
    std::string_view decoded;
    while (decoder_.Next(decoded)) Keep(decoded);
    if (decoder_.Failure() != 0) return Fail(std::string(decoder_.FailureText()));
  } else {
    bodyBytes_ += piece.size();
  }
  if (state_ == ResponseState::kBody && contentLength_ >= 0 &&
      encodedBodyBytes_ >= static_cast<uint64_t>(contentLength_)) {
    EndTransfer();
  }
}

void ResponseParser::Keep(std::string_view piece) {
  bodyBytes_ += piece.size();
  size_t keep = piece.size();
  if (options_.maxTransferredData != 0) {
    uint64_t room =
        options_.maxTransferredData - std::min<uint64_t>(options_.maxTransferredData, transferredData_.size());
    keep = static_cast<size_t>(std::min<uint64_t>(keep, room));
  }
  try {
    transferredData_.append(piece.substr(0, keep));
  } catch (const std::bad_alloc&) {
    listener_.Error(kErrOutOfMemory, "Error appending to TransferredData.");
  }
  listener_.Transfer(bodyBytes_, piece);
}

void ResponseParser::EndTransfer() {
  if (decoder_.Finish() != 0) return Fail(std::string(decoder_.FailureText()));
  state_ = ResponseState::kEnded;
  if (!hasLocation_) listener_.EndTransfer();
}

void ResponseParser::Fail(std::string text) {
  state_ = ResponseState::kFailed;
  failure_ = kErrHttp;
  failureText_ = std::move(text);
}

void ResponseParser::Closed() {
  switch (state_) {
    case ResponseState::kStatusLine:
      if (!receivedAny_) return Fail("The server closed the connection without sending a response.");
      [[fallthrough]];
    case ResponseState::kAfterInterim:
    case ResponseState::kHeaders:
      return Fail("The server closed the connection before the end of the response headers.");
    case ResponseState::kBody:
      if (contentLength_ < 0) return EndTransfer();
      return Fail("The server closed the connection after " + std::to_string(encodedBodyBytes_) + " of " +
                  std::to_string(contentLength_) + " bytes of the body.");
    case ResponseState::kChunkSize:
    case ResponseState::kChunkData:
    case ResponseState::kChunkEnd:
      return Fail("The server closed the connection before the last chunk of the body.");
    case ResponseState::kLastChunk:
      // Every chunk arrived; only the end of the trailers is missing.
      return EndTransfer();
    case ResponseState::kEnded:
    case ResponseState::kFailed:
      return;
  }
}

}  // namespace rssvane
