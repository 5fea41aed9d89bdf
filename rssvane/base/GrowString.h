#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace rssvane {

// The component's narrow (byte) string. Texts of up to 99 bytes live in an
// inline buffer of 100; longer ones move to the heap, and growing to length n
// leaves room for n + n/2 bytes, so a text built by appends costs few
// reallocations. The bytes are always followed by a zero byte. Every
// operation that may allocate returns 0 or kErrOutOfMemory (200) and leaves
// the text as it was on failure.
class GrowString {
 public:
  static constexpr size_t kInlineSize = 100;

  GrowString() noexcept { inline_[0] = '\0'; }
  GrowString(const GrowString&) = delete;
  GrowString& operator=(const GrowString&) = delete;
  GrowString(GrowString&& other) noexcept;
  GrowString& operator=(GrowString&& other) noexcept;
  ~GrowString();

  int Assign(std::string_view text) noexcept;
  // Assigns text up to its first zero byte.
  int AssignUpToNul(std::string_view text) noexcept;
  int AssignNumber(int64_t value) noexcept;
  int Append(std::string_view text) noexcept;
  int Append(char c) noexcept {
    if (length_ == capacity_) {
      if (int rc = Grow(length_ + 1)) return rc;
    }
    data_[length_++] = c;
    data_[length_] = '\0';
    return 0;
  }
  // Lengthens the text by n bytes for the caller to write, and returns
  // where they start; nullptr, the text unchanged, when it cannot grow.
  char* Extend(size_t n) noexcept {
    size_t needed = length_ + n;
    if (needed > capacity_ && (needed < length_ || Grow(needed) != 0)) return nullptr;
    char* at = data_ + length_;
    length_ = needed;
    data_[length_] = '\0';
    return at;
  }
  // Sets the length to n; bytes beyond the old length are zero.
  int Resize(size_t n) noexcept;
  // Makes room for n bytes without changing the text.
  int Reserve(size_t n) noexcept;
  void RemovePrefix(size_t n) noexcept;
  void Truncate(size_t n) noexcept {
    if (n < length_) {
      length_ = n;
      data_[length_] = '\0';
    }
  }
  void Clear() noexcept { Truncate(0); }

  std::string_view View() const noexcept { return {data_, length_}; }
  const char* CStr() const noexcept { return data_; }
  char* Data() noexcept { return data_; }
  size_t Length() const noexcept { return length_; }
  size_t Capacity() const noexcept { return capacity_; }
  bool Empty() const noexcept { return length_ == 0; }
  bool OnHeap() const noexcept { return data_ != inline_; }

  bool operator==(std::string_view text) const noexcept { return View() == text; }

 private:
  int Grow(size_t needed) noexcept;

  char* data_ = inline_;
  size_t length_ = 0;
  size_t capacity_ = kInlineSize - 1;
  char inline_[kInlineSize];
};

}  // namespace rssvane
