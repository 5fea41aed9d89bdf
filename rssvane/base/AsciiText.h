#pragma once

#include <string_view>

namespace rssvane {

// Protocol names (headers, schemes, parameters) compare ignoring ASCII case
// only; bytes above 127 compare exactly, whatever the code page.
constexpr char AsciiLower(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr bool EqualsIgnoreCase(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// A byte below 32 or DEL: what could end a protocol line or field early.
constexpr bool IsControlByte(char c) noexcept {
  auto b = static_cast<unsigned char>(c);
  return b < 32 || b == 127;
}

// The value of a hexadecimal digit of either case, or -1.
constexpr int HexDigitValue(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  c = AsciiLower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

constexpr bool HasControlByte(std::string_view text) noexcept {
  for (char c : text) {
    if (IsControlByte(c)) return true;
  }
  return false;
}

}  // namespace rssvane
