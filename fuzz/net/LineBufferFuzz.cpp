// The line buffer cuts whatever a server sends; it must cut exactly as a
// plain string search would, however the bytes are split into receives.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "net/LineBuffer.h"

namespace {

// A piece as "bytes|1" (a line), "bytes|0" (cut by the capacity or by the
// end) or "bytes|r" (raw mode). Raw pieces are whatever had arrived, so
// only their concatenation is compared.
void Emit(std::vector<std::string>& pieces, std::string_view bytes, char kind) {
  if (kind == 'r' && !pieces.empty() && pieces.back().ends_with("|r")) {
    pieces.back().insert(pieces.back().size() - 2, bytes);
    return;
  }
  pieces.push_back(std::string(bytes) + '|' + kind);
}

// The rule written plainly: a line ends at the first terminator; a buffer
// holding capacity bytes and no terminator is given up as one piece.
struct Reference {
  size_t capacity = 2048;
  std::string terminator;
  std::string buffered;
  std::vector<std::string> pieces;

  void Cut() {
    for (;;) {
      size_t at = terminator.empty() ? (buffered.empty() ? std::string::npos : buffered.size())
                                     : buffered.find(terminator);
      if (at != std::string::npos) {
        Emit(pieces, std::string_view(buffered).substr(0, at), terminator.empty() ? 'r' : '1');
        buffered.erase(0, std::min(buffered.size(), at + terminator.size()));
      } else if (buffered.size() == capacity) {
        Emit(pieces, buffered, '0');
        buffered.clear();
      } else {
        return;
      }
    }
  }
  void Receive(std::string_view bytes) {
    while (!bytes.empty()) {
      Cut();
      size_t n = std::min(capacity - buffered.size(), bytes.size());
      buffered.append(bytes.substr(0, n));
      bytes.remove_prefix(n);
    }
    Cut();
  }
};

struct Driven {
  rssvane::LineBuffer buffer;
  std::vector<std::string> pieces;

  void Cut() {
    for (;;) {
      std::string_view line;
      while (buffer.TakeLine(line)) Emit(pieces, line, buffer.Terminator().empty() ? 'r' : '1');
      if (!buffer.Full()) return;
      Emit(pieces, buffer.TakeAll(), '0');
    }
  }
  // Receives as a socket would: into the free space, in cuts of at most
  // `most` bytes.
  void Receive(std::string_view bytes, size_t most) {
    while (!bytes.empty()) {
      Cut();
      std::span<char> space = buffer.FreeSpace();
      if (space.empty()) std::abort();
      size_t n = std::min({space.size(), bytes.size(), most});
      std::memcpy(space.data(), bytes.data(), n);
      buffer.Commit(n);
      bytes.remove_prefix(n);
    }
    Cut();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);
  auto take = [&in](size_t n) {
    std::string_view out = in.substr(0, std::min(n, in.size()));
    in.remove_prefix(out.size());
    return out;
  };
  auto byte = [&]() -> uint8_t { return in.empty() ? 0 : static_cast<uint8_t>(take(1)[0]); };

  Reference ref;
  Driven real;
  while (!in.empty()) {
    switch (byte() % 5) {
      case 0: {  // a new terminator: the bytes buffered are cut again
        std::string terminator(take(byte() % 4));
        ref.terminator = terminator;
        real.buffer.SetTerminator(terminator);
        ref.Cut();
        real.Cut();
        break;
      }
      case 1: {  // a capacity, small enough that lines overflow it
        size_t capacity = 1 + byte() % 16;
        if (real.buffer.SetCapacity(capacity) != 0) std::abort();
        ref.capacity = capacity;
        ref.buffered.clear();
        break;
      }
      case 2: {  // bytes from the socket, in cuts of any size
        size_t most = 1 + byte() % 8;
        std::string_view bytes = take(byte());
        ref.Receive(bytes);
        real.Receive(bytes, most);
        break;
      }
      case 3: {  // bytes that came after a firewall's reply
        std::string_view bytes = take(byte() % 8);
        bool fits = bytes.size() <= ref.capacity - ref.buffered.size();
        if (real.buffer.Append(bytes) != fits) std::abort();
        if (fits) ref.buffered.append(bytes);
        ref.Cut();
        real.Cut();
        break;
      }
      default: {  // the peer closed: what is left is one piece
        if (!ref.buffered.empty()) Emit(ref.pieces, ref.buffered, '0');
        ref.buffered.clear();
        if (real.buffer.Size() > 0) Emit(real.pieces, real.buffer.TakeAll(), '0');
        break;
      }
    }
    if (real.pieces != ref.pieces || real.buffer.Size() != ref.buffered.size()) std::abort();
  }
  return 0;
}
