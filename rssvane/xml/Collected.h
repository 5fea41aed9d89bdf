#pragma once

#include <cstddef>
#include <string_view>

#include "base/GrowString.h"

namespace rssvane {

// Bytes the XML reader collects (a name, a value, an element's text). While
// they are one run of the input being read they stay where they are, and
// only a view of them is kept; they are copied into a buffer of their own
// once something else joins them (a resolved reference, a second run) or
// when the input is about to go away (Keep, at the end of each call that
// feeds the reader). A document fed in one call is thus read with no copy
// of the text that its tokens are made of.
class Collected {
 public:
  std::string_view View() const noexcept { return {at_, length_}; }
  const char* Data() const noexcept { return at_; }
  size_t Length() const noexcept { return length_; }
  bool Empty() const noexcept { return Length() == 0; }
  // True while the bytes are only a view of the input.
  bool InInput() const noexcept { return !own_ && length_ > 0; }

  void Clear() noexcept {
    // The buffer holds bytes only while they are owned.
    if (own_) {
      buffer_.Clear();
      own_ = false;
    }
    length_ = 0;
  }
  // Clear, and gives back the memory a large collection took.
  void Release() noexcept {
    if (buffer_.OnHeap()) buffer_ = GrowString();
    Clear();
  }

  // Bytes of the input being read.
  int AppendInput(const char* p, size_t n) noexcept {
    if (!own_) {
      if (length_ == 0) {
        at_ = p;
        length_ = n;
        return 0;
      }
      if (at_ + length_ == p) {
        length_ += n;
        return 0;
      }
      if (int rc = Own()) return rc;
    }
    return Synced(buffer_.Append(std::string_view(p, n)));
  }
  int AppendInput(std::string_view bytes) noexcept { return AppendInput(bytes.data(), bytes.size()); }
  // Bytes from anywhere else: copied.
  int Append(std::string_view bytes) noexcept {
    if (int rc = Own()) return rc;
    return Synced(buffer_.Append(bytes));
  }
  int Append(char c) noexcept {
    if (int rc = Own()) return rc;
    return Synced(buffer_.Append(c));
  }

  void Truncate(size_t n) noexcept {
    if (own_) buffer_.Truncate(n);
    if (n < length_) length_ = n;
  }
  void RemovePrefix(size_t n) noexcept {
    if (own_) {
      buffer_.RemovePrefix(n);
      Synced(0);
    } else {
      n = n < length_ ? n : length_;
      at_ += n;
      length_ -= n;
    }
  }

  // Copies what is still only a view of the input.
  int Keep() noexcept { return InInput() ? Own() : 0; }

 private:
  int Own() noexcept {
    if (own_) return 0;
    if (int rc = buffer_.Assign(std::string_view(at_, length_))) return rc;
    own_ = true;
    return Synced(0);
  }
  // After a change to the buffer: the view follows it.
  int Synced(int rc) noexcept {
    at_ = buffer_.CStr();
    length_ = buffer_.Length();
    return rc;
  }

  GrowString buffer_;
  // The bytes, in the input or in buffer_ once owned.
  const char* at_ = nullptr;
  size_t length_ = 0;
  bool own_ = false;
};

}  // namespace rssvane
