#include "http/HttpText.h"

#include <limits>

#include "base/AsciiText.h"
#include "base/Codes.h"

namespace rssvane {

int RefuseControlBytes(std::string_view value, std::string_view what, std::string& errorText) {
  if (!HasControlByte(value)) return kOk;
  errorText = "Invalid ";
  errorText += what;
  errorText += ": it holds a control character.";
  return kErrHttp;
}

NumberRead ReadNumber(std::string_view text, int base, int64_t& value) noexcept {
  size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  bool negative = at < text.size() && text[at] == '-';
  if (negative) ++at;
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  int64_t magnitude = 0;
  bool digits = false;
  bool tooLarge = false;
  for (; at < text.size(); ++at) {
    char c = AsciiLower(text[at]);
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else {
      break;
    }
    digits = true;
    if (magnitude > (kMax - digit) / base) tooLarge = true;
    if (!tooLarge) magnitude = magnitude * base + digit;
  }
  if (tooLarge) {
    value = negative ? std::numeric_limits<int64_t>::min() : kMax;
    return NumberRead::kTooLarge;
  }
  value = negative ? -magnitude : magnitude;
  return digits ? NumberRead::kOk : NumberRead::kNoDigits;
}

}  // namespace rssvane
