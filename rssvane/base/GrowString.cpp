#include "base/GrowString.h"

#include <cstdlib>
#include <cstring>
#include <limits>

#include "base/Bytes.h"
#include "base/Codes.h"

namespace rssvane {

GrowString::GrowString(GrowString&& other) noexcept { *this = std::move(other); }

GrowString& GrowString::operator=(GrowString&& other) noexcept {
  if (this == &other) return *this;
  if (OnHeap()) std::free(data_);
  if (other.OnHeap()) {
    data_ = other.data_;
    capacity_ = other.capacity_;
  } else {
    data_ = inline_;
    capacity_ = kInlineSize - 1;
    std::memcpy(inline_, other.inline_, other.length_ + 1);
  }
  length_ = other.length_;
  other.data_ = other.inline_;
  other.capacity_ = kInlineSize - 1;
  other.length_ = 0;
  other.inline_[0] = '\0';
  return *this;
}

GrowString::~GrowString() {
  if (OnHeap()) std::free(data_);
}

int GrowString::Grow(size_t needed) noexcept {
  if (needed <= capacity_) return 0;
  constexpr size_t kMax = std::numeric_limits<size_t>::max() / 2 - 2;
  if (needed > kMax) return kErrOutOfMemory;
  size_t capacity = needed + needed / 2;
  char* fresh;
  if (OnHeap()) {
    fresh = static_cast<char*>(std::realloc(data_, capacity + 1));
  } else {
    fresh = static_cast<char*>(std::malloc(capacity + 1));
    if (fresh) std::memcpy(fresh, inline_, length_ + 1);
  }
  if (!fresh) return kErrOutOfMemory;
  data_ = fresh;
  capacity_ = capacity;
  return 0;
}

int GrowString::Assign(std::string_view text) noexcept {
  if (text.data() >= data_ && text.data() <= data_ + length_) {
    // A part of this very string: moving it to the front needs no room.
    size_t offset = static_cast<size_t>(text.data() - data_);
    std::memmove(data_, data_ + offset, text.size());
    length_ = text.size();
    data_[length_] = '\0';
    return 0;
  }
  if (int rc = Grow(text.size())) return rc;
  if (!text.empty()) std::memcpy(data_, text.data(), text.size());
  length_ = text.size();
  data_[length_] = '\0';
  return 0;
}

int GrowString::AssignUpToNul(std::string_view text) noexcept {
  if (text.data() >= data_ && text.data() <= data_ + length_) {
    // A part of this very string, which Assign moves in place.
    const void* nul = std::memchr(text.data(), 0, text.size());
    return Assign(text.substr(0, nul ? static_cast<size_t>(static_cast<const char*>(nul) - text.data()) : text.size()));
  }
  if (int rc = Grow(text.size())) return rc;
  length_ = text.empty() ? 0 : CopyUpToNul(data_, text.data(), text.size());
  data_[length_] = '\0';
  return 0;
}

int GrowString::AssignNumber(int64_t value) noexcept {
  char digits[24];
  char* end = digits + sizeof digits;
  char* p = end;
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    *--p = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *--p = '-';
  return Assign(std::string_view(p, static_cast<size_t>(end - p)));
}

int GrowString::Append(std::string_view text) noexcept {
  if (text.empty()) return 0;
  size_t needed = length_ + text.size();
  if (needed < length_) return kErrOutOfMemory;
  if (needed > capacity_) {
    bool aliased = text.data() >= data_ && text.data() <= data_ + length_;
    size_t offset = aliased ? static_cast<size_t>(text.data() - data_) : 0;
    if (int rc = Grow(needed)) return rc;
    if (aliased) text = std::string_view(data_ + offset, text.size());
  }
  std::memmove(data_ + length_, text.data(), text.size());
  length_ = needed;
  data_[length_] = '\0';
  return 0;
}

int GrowString::Resize(size_t n) noexcept {
  if (n > length_) {
    if (int rc = Grow(n)) return rc;
    std::memset(data_ + length_, 0, n - length_);
  }
  length_ = n;
  data_[length_] = '\0';
  return 0;
}

int GrowString::Reserve(size_t n) noexcept { return Grow(n); }

void GrowString::RemovePrefix(size_t n) noexcept {
  if (n >= length_) {
    Truncate(0);
    return;
  }
  std::memmove(data_, data_ + n, length_ - n);
  length_ -= n;
  data_[length_] = '\0';
}

}  // namespace rssvane
