#include "rssvane/Variant.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "base/Codes.h"

namespace rssvane {

namespace {

bool EqualsIgnoringCase(std::u16string_view text, std::u16string_view word) noexcept {
  if (text.size() != word.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t a = text[i], b = word[i];
    if (a >= u'A' && a <= u'Z') a = static_cast<char16_t>(a - u'A' + u'a');
    if (b >= u'A' && b <= u'Z') b = static_cast<char16_t>(b - u'A' + u'a');
    if (a != b) return false;
  }
  return true;
}

// A number written in text: surrounding spaces, a sign, digits, a fraction
// and an exponent; anything else is a type mismatch.
uint32_t TextToDouble(std::u16string_view text, double& out) noexcept {
  while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  if (text.empty() || text.size() > 64) return kHrTypeMismatch;
  char ascii[65];
  size_t n = 0;
  for (char16_t c : text) {
    if (c >= 0x80) return kHrTypeMismatch;
    ascii[n++] = static_cast<char>(c);
  }
  const char* begin = ascii;
  if (*begin == '+') ++begin;
  auto [end, ec] = std::from_chars(begin, ascii + n, out);
  if (ec == std::errc::result_out_of_range) return kHrOverflow;
  if (ec != std::errc() || end != ascii + n || !std::isfinite(out)) return kHrTypeMismatch;
  return 0;
}

uint32_t ToWholeNumber(const Variant& v, double low, double high, double& out) noexcept {
  switch (v.GetType()) {
    case Variant::Type::kEmpty: out = 0; return 0;
    case Variant::Type::kBool: out = v.Bool() ? -1 : 0; return 0;
    case Variant::Type::kInt16: out = v.Int16(); break;
    case Variant::Type::kInt32: out = v.Int32(); break;
    case Variant::Type::kDouble:
      if (std::isnan(v.Double())) return kHrOverflow;
      out = std::nearbyint(v.Double());
      break;
    case Variant::Type::kText:
      if (uint32_t hr = TextToDouble(v.Text(), out)) return hr;
      out = std::nearbyint(out);
      break;
    case Variant::Type::kBytes: return kHrTypeMismatch;
  }
  return out < low || out > high ? kHrOverflow : 0;
}

}  // namespace

uint32_t Variant::ToBool(bool& out) const noexcept {
  out = false;
  switch (GetType()) {
    case Type::kEmpty: return 0;
    case Type::kBool: out = Bool(); return 0;
    case Type::kInt16: out = Int16() != 0; return 0;
    case Type::kInt32: out = Int32() != 0; return 0;
    case Type::kDouble: out = Double() != 0; return 0;
    case Type::kText: {
      if (EqualsIgnoringCase(Text(), u"True")) {
        out = true;
        return 0;
      }
      if (EqualsIgnoringCase(Text(), u"False")) return 0;
      double number;
      if (uint32_t hr = TextToDouble(Text(), number)) return hr;
      out = number != 0;
      return 0;
    }
    case Type::kBytes: break;
  }
  return kHrTypeMismatch;
}

uint32_t Variant::ToInt16(int16_t& out) const noexcept {
  out = 0;
  double number;
  if (uint32_t hr = ToWholeNumber(*this, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max(), number)) {
    return hr;
  }
  out = static_cast<int16_t>(number);
  return 0;
}

uint32_t Variant::ToInt32(int32_t& out) const noexcept {
  out = 0;
  double number;
  if (uint32_t hr = ToWholeNumber(*this, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), number)) {
    return hr;
  }
  out = static_cast<int32_t>(number);
  return 0;
}

uint32_t Variant::ToText(std::u16string& out) const {
  out.clear();
  std::string ascii;
  switch (GetType()) {
    case Type::kEmpty: return 0;
    case Type::kText: out = Text(); return 0;
    case Type::kBool: out = Bool() ? u"True" : u"False"; return 0;
    case Type::kInt16: ascii = std::to_string(Int16()); break;
    case Type::kInt32: ascii = std::to_string(Int32()); break;
    case Type::kDouble: {
      char buffer[32];
      auto result = std::to_chars(buffer, buffer + sizeof buffer, Double());
      ascii.assign(buffer, result.ptr);
      break;
    }
    case Type::kBytes: return kHrTypeMismatch;
  }
  out.assign(ascii.begin(), ascii.end());
  return 0;
}

}  // namespace rssvane
