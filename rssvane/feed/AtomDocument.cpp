#include "feed/AtomDocument.h"

#include <cstdint>
#include <cstring>

namespace rssvane {

namespace {

bool IsSpace(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsNameByte(char c) noexcept {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == ':' || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

// Past the construct that starts at p and ends with end, or npos.
size_t Past(std::string_view text, size_t p, std::string_view end) noexcept {
  size_t at = text.find(end, p);
  return at == std::string_view::npos ? at : at + end.size();
}

// Past a document type declaration at p, whose internal subset may hold
// ">" in literals and comments.
size_t PastDoctype(std::string_view text, size_t p) noexcept {
  size_t depth = 0;
  char quote = 0;
  for (p += 2; p < text.size(); ++p) {
    char c = text[p];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (text.substr(p, 4) == "<!--") {
      p = Past(text, p, "-->");
      if (p == std::string_view::npos) return p;
      --p;
    } else if (c == '[') {
      ++depth;
    } else if (c == ']' && depth > 0) {
      --depth;
    } else if (c == '>' && depth == 0) {
      return p + 1;
    }
  }
  return std::string_view::npos;
}

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) noexcept {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// Reads count digits at text[p], advancing p.
template <size_t count>
bool Digits(std::string_view text, size_t& p, int& value) noexcept {
  if (text.size() - p < count) return false;
  int read = 0;
  for (size_t i = 0; i < count; ++i) {
    unsigned digit = static_cast<unsigned char>(text[p + i]) - unsigned('0');
    if (digit > 9) return false;
    read = read * 10 + static_cast<int>(digit);
  }
  p += count;
  value = read;
  return true;
}

char* PutTwoDigits(char* out, int value) noexcept {
  out[0] = static_cast<char>('0' + value / 10);
  out[1] = static_cast<char>('0' + value % 10);
  return out + 2;
}

char* PutThree(char* out, const char (&text)[4]) noexcept {
  std::memcpy(out, text, 3);
  return out + 3;
}

bool Expect(std::string_view text, size_t& p, char c) noexcept {
  if (p >= text.size() || text[p] != c) return false;
  ++p;
  return true;
}

}  // namespace

bool IsAtomDocument(std::string_view text) noexcept {
  size_t p = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  // The prolog: white space, the declaration, comments, processing
  // instructions and a document type, in any order.
  for (;;) {
    while (p < text.size() && IsSpace(text[p])) ++p;
    if (p >= text.size() || text[p] != '<') return false;
    if (text.substr(p, 2) == "<?") {
      p = Past(text, p, "?>");
    } else if (text.substr(p, 4) == "<!--") {
      p = Past(text, p, "-->");
    } else if (text.substr(p, 2) == "<!") {
      p = PastDoctype(text, p);
    } else {
      break;
    }
    if (p == std::string_view::npos) return false;
  }
  size_t nameStart = ++p;
  while (p < text.size() && IsNameByte(text[p])) ++p;
  std::string_view name = text.substr(nameStart, p - nameStart);
  size_t colon = name.find(':');
  std::string_view prefix = colon == std::string_view::npos ? std::string_view() : name.substr(0, colon);
  if (name.substr(colon == std::string_view::npos ? 0 : colon + 1) != "feed") return false;
  // The root's namespace can only be declared on the root itself.
  std::string declaration = prefix.empty() ? "xmlns" : "xmlns:" + std::string(prefix);
  while (p < text.size()) {
    while (p < text.size() && IsSpace(text[p])) ++p;
    if (p >= text.size() || text[p] == '>' || text[p] == '/') return false;
    size_t attributeStart = p;
    while (p < text.size() && IsNameByte(text[p])) ++p;
    std::string_view attribute = text.substr(attributeStart, p - attributeStart);
    while (p < text.size() && IsSpace(text[p])) ++p;
    if (attribute.empty() || !Expect(text, p, '=')) return false;
    while (p < text.size() && IsSpace(text[p])) ++p;
    if (p >= text.size() || (text[p] != '"' && text[p] != '\'')) return false;
    size_t valueEnd = text.find(text[p], p + 1);
    if (valueEnd == std::string_view::npos) return false;
    if (attribute == declaration) return text.substr(p + 1, valueEnd - p - 1) == kAtomNamespace;
    p = valueEnd + 1;
  }
  return false;
}

// Every entry's date comes through here. Marked hot: the many ways out for
// text that is no date make the compiler guess the arithmetic after them
// rarely run and build it small, dividing where it would otherwise
// multiply.
[[gnu::hot]] bool AtomDateToRfc822(std::string_view text, std::string& out) {
  static constexpr char kMonths[][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  static constexpr char kDays[][4] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
  size_t p = 0;
  int year, month, day, hour, minute, second;
  if (!Digits<4>(text, p, year) || !Expect(text, p, '-') || !Digits<2>(text, p, month) || !Expect(text, p, '-') ||
      !Digits<2>(text, p, day)) {
    return false;
  }
  // RFC 3339 allows "t" and, by agreement, a space for "T".
  if (p >= text.size() || (text[p] != 'T' && text[p] != 't' && text[p] != ' ')) return false;
  ++p;
  if (!Digits<2>(text, p, hour) || !Expect(text, p, ':') || !Digits<2>(text, p, minute) || !Expect(text, p, ':') ||
      !Digits<2>(text, p, second)) {
    return false;
  }
  if (p < text.size() && text[p] == '.') {
    size_t first = ++p;
    while (p < text.size() && text[p] >= '0' && text[p] <= '9') ++p;
    if (p == first) return false;
  }
  char sign = 0;
  int zoneHour = 0, zoneMinute = 0;
  if (p < text.size() && (text[p] == 'Z' || text[p] == 'z')) {
    ++p;
  } else if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
    sign = text[p++];
    if (!Digits<2>(text, p, zoneHour) || !Expect(text, p, ':') || !Digits<2>(text, p, zoneMinute) || zoneHour > 23 ||
        zoneMinute > 59) {
      return false;
    }
  } else {
    return false;
  }
  if (p != text.size()) return false;
  static constexpr int kMonthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (month < 1 || month > 12 || day < 1 || day > kMonthDays[month - 1] || (month == 2 && day == 29 && !leap) ||
      hour > 23 || minute > 59 || second > 60) {
    return false;
  }
  int64_t days = DaysFromCivil(year, month, day);
  int weekday = static_cast<int>(((days % 7) + 7) % 7);
  // Every date is read one by one; formatting by hand into one buffer spares
  // a formatted print and a growing string per entry.
  char buffer[32];
  char* at = PutThree(buffer, kDays[weekday]);
  *at++ = ',';
  *at++ = ' ';
  at = PutTwoDigits(at, day);
  *at++ = ' ';
  at = PutThree(at, kMonths[month - 1]);
  *at++ = ' ';
  at = PutTwoDigits(at, year / 100);
  at = PutTwoDigits(at, year % 100);
  *at++ = ' ';
  at = PutTwoDigits(at, hour);
  *at++ = ':';
  at = PutTwoDigits(at, minute);
  *at++ = ':';
  at = PutTwoDigits(at, second);
  if (!sign) {
    *at++ = ' ';
    at = PutThree(at, "GMT");
  } else {
    *at++ = ' ';
    *at++ = sign;
    at = PutTwoDigits(at, zoneHour);
    at = PutTwoDigits(at, zoneMinute);
  }
  out.assign(buffer, static_cast<size_t>(at - buffer));
  return true;
}

}  // namespace rssvane
