#include "common/Hex.h"

namespace vk {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

unsigned char ReadGroup(std::string_view group) {
  size_t i = 0;
  while (i < group.size() && (group[i] == ' ' || group[i] == '\t' || group[i] == '\n')) ++i;
  unsigned value = 0;
  for (; i < group.size(); ++i) {
    int digit = HexDigit(group[i]);
    if (digit < 0) break;
    value = value * 16 + static_cast<unsigned>(digit);
  }
  return static_cast<unsigned char>(value);
}

}  // namespace

std::string BytesToHex(const Bytes& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.resize(bytes.size() * 2);
  for (size_t i = 0; i < bytes.size(); ++i) {
    text[2 * i] = kDigits[bytes[i] >> 4];
    text[2 * i + 1] = kDigits[bytes[i] & 15];
  }
  return text;
}

Bytes HexToBytes(std::string_view text) {
  Bytes bytes;
  bytes.reserve((text.size() + 1) / 2);
  for (size_t i = 0; i < text.size(); i += 2) bytes.push_back(ReadGroup(text.substr(i, 2)));
  return bytes;
}

}  // namespace vk
