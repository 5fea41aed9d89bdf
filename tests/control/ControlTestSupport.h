#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "rssvane/RSS.h"

namespace rssvane {

// What a failing call raised, for exact comparison.
struct Raised {
  uint32_t hresult = 0;
  int number = 0;
  std::u16string description;
  std::u16string source;
  std::u16string helpFile;
  uint32_t helpContext = 0;
};

inline Raised RaisedBy(const std::function<void()>& call) {
  try {
    call();
  } catch (const AutomationError& e) {
    return {e.HResult(), e.Number(), e.Description(), e.Source(), e.HelpFile(), e.HelpContext()};
  }
  ADD_FAILURE() << "no AutomationError was raised";
  return {};
}

inline std::string Utf8(const std::u16string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t c = s[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size()) c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

inline void PrintTo(const std::u16string& s, std::ostream* os) { *os << '"' << Utf8(s) << '"'; }

}  // namespace rssvane
