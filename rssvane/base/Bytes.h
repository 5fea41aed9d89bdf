#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace rssvane {

// Copies from up to its first zero byte, or all n bytes, and gives how many
// it copied: one pass over the text where a search for the zero byte and a
// copy would take two.
size_t CopyUpToNul(char* to, const char* from, size_t n) noexcept;

// Whether a and b hold the same bytes. Names of elements and fields are
// short: up to 16 bytes they are compared by two loads each, in line, which
// a call to memcmp costs more than.
inline bool SameBytes(std::string_view a, std::string_view b) noexcept {
  size_t n = a.size();
  if (n != b.size()) return false;
  const char* p = a.data();
  const char* q = b.data();
  auto load8 = [](const char* at) {
    uint64_t v;
    std::memcpy(&v, at, 8);
    return v;
  };
  auto load4 = [](const char* at) {
    uint32_t v;
    std::memcpy(&v, at, 4);
    return v;
  };
  if (n >= 8) {
    if (n > 16) return std::memcmp(p, q, n) == 0;
    return load8(p) == load8(q) && load8(p + n - 8) == load8(q + n - 8);
  }
  if (n >= 4) return load4(p) == load4(q) && load4(p + n - 4) == load4(q + n - 4);
  for (size_t i = 0; i < n; ++i) {
    if (p[i] != q[i]) return false;
  }
  return true;
}

}  // namespace rssvane
