#include <cstdio>

#include "base/AsciiText.h"
#include "rssvane/Registration.h"

namespace rssvane {

std::string GuidToText(const Guid& g) {
  char text[39];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.data1, g.data2, g.data3,
                g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
  return text;
}

bool GuidFromText(std::string_view text, Guid& out) noexcept {
  // Where the digits of each byte start, past the brace and the hyphens.
  static constexpr size_t kByteAt[16] = {1, 3, 5, 7, 10, 12, 15, 17, 20, 22, 25, 27, 29, 31, 33, 35};
  if (text.size() != 38 || text[0] != '{' || text[37] != '}' || text[9] != '-' || text[14] != '-' ||
      text[19] != '-' || text[24] != '-') {
    return false;
  }
  uint8_t bytes[16];
  for (size_t i = 0; i < 16; ++i) {
    int high = HexDigitValue(text[kByteAt[i]]);
    int low = HexDigitValue(text[kByteAt[i] + 1]);
    if (high < 0 || low < 0) return false;
    bytes[i] = static_cast<uint8_t>(high << 4 | low);
  }
  out.data1 = static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
              static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
  out.data2 = static_cast<uint16_t>(bytes[4] << 8 | bytes[5]);
  out.data3 = static_cast<uint16_t>(bytes[6] << 8 | bytes[7]);
  for (size_t i = 0; i < 8; ++i) out.data4[i] = bytes[8 + i];
  return true;
}

}  // namespace rssvane
