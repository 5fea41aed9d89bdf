#pragma once

// Test and fuzz support: hands a response to a ResponseParser the way a line
// buffer does and writes down what it reports, so that every way of cutting
// the bytes can be compared.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "http/Response.h"
#include "net/LineBuffer.h"

namespace rssvane {

// Writes every event but Transfer as text; Transfer pieces make up body.
struct Recorder : ResponseListener {
  std::string events;
  std::string body;
  uint64_t lastCount = 0;
  bool countsAgree = true;
  bool keepBody = true;

  void Status(std::string_view v, int32_t code, std::string_view text) override {
    events += "Status(" + std::string(v) + "," + std::to_string(code) + "," + std::string(text) + ")";
  }
  void Header(std::string_view n, std::string_view v) override {
    events += "Header(" + std::string(n) + "," + std::string(v) + ")";
  }
  void SetCookie(const Cookie& c) override {
    events += "Cookie(" + std::string(c.name) + "=" + std::string(c.value) + ",path=" + std::string(c.path) +
              (c.secure ? ",secure)" : ")");
  }
  void Challenge(std::string_view v) override { events += "Challenge(" + std::string(v) + ")"; }
  void StartTransfer() override { events += "Start"; }
  void Transfer(uint64_t count, std::string_view piece) override {
    countsAgree = countsAgree && count == lastCount + piece.size();
    lastCount = count;
    if (keepBody) body += piece;
  }
  void EndTransfer() override { events += "End"; }
  void Error(int code, std::string_view text) override {
    events += "Error(" + std::to_string(code) + "," + std::string(text) + ")";
  }
};

// Hands text over as a line buffer of `capacity` bytes does, receiving `read`
// bytes at a time; honourLimit stops raw pieces at RawLimit().
inline void Feed(ResponseParser& parser, std::string_view text, size_t capacity = 2048, size_t read = 65536,
                 bool honourLimit = false, bool close = true) {
  std::string buffer;
  size_t at = 0;
  for (int guard = 0; guard < 1000000; ++guard) {
    while (!buffer.empty()) {
      std::string_view terminator = parser.Terminator();
      std::string piece;
      bool ended = false;
      if (!terminator.empty()) {
        size_t found = buffer.find(terminator);
        if (found == std::string::npos && buffer.size() < capacity) break;
        ended = found != std::string::npos;
        piece = buffer.substr(0, ended ? found : buffer.size());
        buffer.erase(0, ended ? found + terminator.size() : buffer.size());
      } else {
        size_t n = buffer.size();
        if (honourLimit && parser.RawLimit() != 0) n = static_cast<size_t>(std::min<uint64_t>(n, parser.RawLimit()));
        piece = buffer.substr(0, n);
        buffer.erase(0, n);
      }
      parser.Deliver(piece, ended);
    }
    if (at == text.size()) break;
    size_t n = std::min({read, text.size() - at, capacity - buffer.size()});
    buffer.append(text.substr(at, n));
    at += n;
  }
  if (!close) return;
  if (!buffer.empty()) parser.Deliver(buffer, false);
  parser.Closed();
}

// Hands text over through the connection's own LineBuffer of `capacity`
// bytes, receiving `read` bytes at a time, as its read pass does: complete
// lines first, a full buffer as one piece, and everything left when the peer
// closes. The terminator follows the parser after every delivery.
inline void FeedThroughLineBuffer(ResponseParser& parser, std::string_view text, size_t capacity, size_t read) {
  LineBuffer buffer;
  if (buffer.SetCapacity(capacity) != 0) return;
  buffer.SetTerminator(parser.Terminator());
  auto deliver = [&](std::string_view piece, bool ended) {
    parser.Deliver(piece, ended);
    if (buffer.Terminator() != parser.Terminator()) buffer.SetTerminator(parser.Terminator());
  };
  std::string_view line;
  for (size_t at = 0;;) {
    while (buffer.TakeLine(line)) deliver(line, true);
    std::span<char> space = buffer.FreeSpace();
    if (space.empty()) {
      deliver(buffer.TakeAll(), false);
      continue;
    }
    if (at == text.size()) break;
    size_t n = std::min({space.size(), read, text.size() - at});
    std::memcpy(space.data(), text.data() + at, n);
    buffer.Commit(n);
    at += n;
  }
  while (buffer.TakeLine(line)) deliver(line, true);
  if (buffer.Size() > 0) deliver(buffer.TakeAll(), false);
  parser.Closed();
}

}  // namespace rssvane
