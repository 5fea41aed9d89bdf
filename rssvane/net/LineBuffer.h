#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace rssvane {

// Cuts a received byte stream into lines: a buffer of fixed capacity
// (MaxLineLength, at most 65536) holding the bytes not yet taken, and the
// line terminator, a byte string (empty: raw mode, where whatever is
// buffered is one piece). Bytes are received straight into its free space;
// the buffered bytes move to the front only when the space at the end is
// used up. Knows nothing of sockets.
class LineBuffer {
 public:
  static constexpr size_t kMaxCapacity = 65536;
  static constexpr size_t kDefaultCapacity = 2048;

  LineBuffer() : data_(new char[kDefaultCapacity]) {}

  // Empties the buffer and gives it room for capacity bytes (taken into 1
  // to kMaxCapacity); 0, or 200 when the memory cannot be had (the buffer
  // then keeps its old capacity).
  int SetCapacity(size_t capacity) noexcept;
  size_t Capacity() const noexcept { return capacity_; }

  void SetTerminator(std::string_view terminator);
  std::string_view Terminator() const noexcept { return terminator_; }

  void Clear() noexcept;
  size_t Size() const noexcept { return count_; }
  bool Full() const noexcept { return count_ == capacity_; }

  // The next line, without its terminator, which is dropped with it; in
  // raw mode everything buffered. False when no complete line is buffered.
  // The view lasts until the buffer is next changed.
  bool TakeLine(std::string_view& line) noexcept;
  // Everything buffered as one piece, complete line or not.
  std::string_view TakeAll() noexcept;

  // Room at the end for receiving; empty only when the buffer is full.
  std::span<char> FreeSpace() noexcept;
  // n bytes were received into the space FreeSpace gave.
  void Commit(size_t n) noexcept;
  // Adds bytes that arrived some other way (those a firewall's reply came
  // with); they may lie in the free space itself. False, adding nothing,
  // when they do not fit.
  bool Append(std::string_view bytes) noexcept;

 private:
  std::unique_ptr<char[]> data_;
  size_t capacity_ = kDefaultCapacity;
  size_t start_ = 0;
  size_t count_ = 0;
  // Bytes from start_ known to hold no terminator start.
  size_t searched_ = 0;
  std::string terminator_;
};

}  // namespace rssvane
