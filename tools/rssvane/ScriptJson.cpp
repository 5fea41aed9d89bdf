#include "ScriptJson.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "base/Utf8.h"

namespace rssvane_tool {

namespace {

constexpr int kMaxDepth = 64;

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  bool Document(JsonValue& value, std::string& why) {
    SkipSpace();
    if (!Value(value, 0)) {
      why = why_;
      return false;
    }
    SkipSpace();
    if (pos_ != text_.size()) {
      why = "unexpected text after the value at byte " + std::to_string(pos_ + 1);
      return false;
    }
    return true;
  }

 private:
  bool Fail(const char* what) {
    why_ = std::string(what) + " at byte " + std::to_string(pos_ + 1);
    return false;
  }

  void SkipSpace() {
    while (pos_ < text_.size() &&
           (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' || text_[pos_] == '\r')) {
      ++pos_;
    }
  }

  bool Literal(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) return Fail("invalid literal");
    pos_ += word.size();
    return true;
  }

  bool Value(JsonValue& value, int depth) {
    if (pos_ >= text_.size()) return Fail("unexpected end of text");
    switch (text_[pos_]) {
      case '{': return Object(value, depth + 1);
      case '[': return Array(value, depth + 1);
      case '"':
        value.type = JsonValue::Type::kString;
        return String(value.text);
      case 't':
        value.type = JsonValue::Type::kBool;
        value.boolean = true;
        return Literal("true");
      case 'f':
        value.type = JsonValue::Type::kBool;
        value.boolean = false;
        return Literal("false");
      case 'n':
        value.type = JsonValue::Type::kNull;
        return Literal("null");
      default:
        value.type = JsonValue::Type::kNumber;
        return Number(value.number);
    }
  }

  bool Object(JsonValue& value, int depth) {
    if (depth > kMaxDepth) return Fail("nesting too deep");
    value.type = JsonValue::Type::kObject;
    ++pos_;
    SkipSpace();
    if (pos_ < text_.size() && text_[pos_] == '}') {
      ++pos_;
      return true;
    }
    for (;;) {
      SkipSpace();
      if (pos_ >= text_.size() || text_[pos_] != '"') return Fail("expected a member name");
      value.keys.emplace_back();
      if (!String(value.keys.back())) return false;
      SkipSpace();
      if (pos_ >= text_.size() || text_[pos_] != ':') return Fail("expected ':'");
      ++pos_;
      SkipSpace();
      value.items.emplace_back();
      if (!Value(value.items.back(), depth)) return false;
      SkipSpace();
      if (pos_ < text_.size() && text_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (pos_ < text_.size() && text_[pos_] == '}') {
        ++pos_;
        return true;
      }
      return Fail("expected ',' or '}'");
    }
  }

  bool Array(JsonValue& value, int depth) {
    if (depth > kMaxDepth) return Fail("nesting too deep");
    value.type = JsonValue::Type::kArray;
    ++pos_;
    SkipSpace();
    if (pos_ < text_.size() && text_[pos_] == ']') {
      ++pos_;
      return true;
    }
    for (;;) {
      SkipSpace();
      value.items.emplace_back();
      if (!Value(value.items.back(), depth)) return false;
      SkipSpace();
      if (pos_ < text_.size() && text_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (pos_ < text_.size() && text_[pos_] == ']') {
        ++pos_;
        return true;
      }
      return Fail("expected ',' or ']'");
    }
  }

  bool Hex4(uint32_t& unit) {
    if (text_.size() - pos_ < 4) return Fail("incomplete \\u escape");
    unit = 0;
    for (int i = 0; i < 4; ++i) {
      char c = text_[pos_++];
      unit <<= 4;
      if (c >= '0' && c <= '9') {
        unit |= static_cast<uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        unit |= static_cast<uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        unit |= static_cast<uint32_t>(c - 'A' + 10);
      } else {
        --pos_;
        return Fail("invalid \\u escape");
      }
    }
    return true;
  }

  // One UTF-8 sequence, checked strictly: no overlong forms, no encoded
  // surrogates, nothing beyond U+10FFFF.
  bool Utf8(uint32_t& code) {
    size_t length = rssvane::Utf8Sequence(text_, pos_, code);
    if (length == 0) return Fail("invalid UTF-8");
    pos_ += length;
    return true;
  }

  bool String(std::u16string& out) {
    ++pos_;
    for (;;) {
      if (pos_ >= text_.size()) return Fail("unterminated string");
      unsigned char c = static_cast<unsigned char>(text_[pos_]);
      if (c == '"') {
        ++pos_;
        return true;
      }
      if (c < 0x20) return Fail("control character in string");
      if (c == '\\') {
        if (++pos_ >= text_.size()) return Fail("unterminated string");
        char e = text_[pos_++];
        switch (e) {
          case '"': out += u'"'; break;
          case '\\': out += u'\\'; break;
          case '/': out += u'/'; break;
          case 'b': out += u'\b'; break;
          case 'f': out += u'\f'; break;
          case 'n': out += u'\n'; break;
          case 'r': out += u'\r'; break;
          case 't': out += u'\t'; break;
          case 'u': {
            uint32_t unit = 0;
            if (!Hex4(unit)) return false;
            out += static_cast<char16_t>(unit);
            break;
          }
          default: --pos_; return Fail("invalid escape");
        }
        continue;
      }
      if (c < 0x80) {
        out += static_cast<char16_t>(c);
        ++pos_;
        continue;
      }
      uint32_t code = 0;
      if (!Utf8(code)) return false;
      if (code >= 0x10000) {
        code -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (code >> 10));
        out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
      } else {
        out += static_cast<char16_t>(code);
      }
    }
  }

  bool Digits() {
    size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
    return pos_ > start;
  }

  bool Number(double& out) {
    size_t start = pos_;
    if (text_[pos_] == '-') ++pos_;
    if (pos_ < text_.size() && text_[pos_] == '0') {
      ++pos_;
    } else if (!Digits()) {
      return Fail("invalid value");
    }
    if (pos_ < text_.size() && text_[pos_] == '.') {
      ++pos_;
      if (!Digits()) return Fail("invalid number");
    }
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
      ++pos_;
      if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
      if (!Digits()) return Fail("invalid number");
    }
    auto [end, ec] = std::from_chars(text_.data() + start, text_.data() + pos_, out);
    if (ec == std::errc::result_out_of_range) {
      // Too small underflows to zero harmlessly; too large has no value.
      size_t ePos = std::string_view(text_.data() + start, pos_ - start).find_first_of("eE");
      bool tiny = ePos != std::string_view::npos && text_[start + ePos + 1] == '-';
      if (!tiny) return Fail("number out of range");
      out = 0;
      return true;
    }
    if (ec != std::errc() || end != text_.data() + pos_ || !std::isfinite(out)) return Fail("number out of range");
    return true;
  }

  std::string_view text_;
  size_t pos_ = 0;
  std::string why_;
};

void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | code >> 18);
    out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

void AppendEscape(std::string& out, uint32_t unit) {
  static const char kHex[] = "0123456789abcdef";
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += kHex[unit >> shift & 0xF];
}

}  // namespace

const JsonValue* JsonValue::Member(std::u16string_view key) const {
  if (type != Type::kObject) return nullptr;
  for (size_t i = 0; i < keys.size(); ++i) {
    if (keys[i] == key) return &items[i];
  }
  return nullptr;
}

bool ParseJson(std::string_view text, JsonValue& value, std::string& why) {
  value = JsonValue();
  why.clear();
  return Parser(text).Document(value, why);
}

void AppendJsonString(std::string& out, std::u16string_view text) {
  out += '"';
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t unit = text[i];
    switch (unit) {
      case u'"': out += "\\\""; continue;
      case u'\\': out += "\\\\"; continue;
      case u'\n': out += "\\n"; continue;
      case u'\r': out += "\\r"; continue;
      case u'\t': out += "\\t"; continue;
      case u'\b': out += "\\b"; continue;
      case u'\f': out += "\\f"; continue;
      default: break;
    }
    if (unit < 0x20) {
      AppendEscape(out, unit);
    } else if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
               text[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00u));
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      AppendEscape(out, unit);  // a lone surrogate has no UTF-8 form
    } else {
      AppendUtf8(out, unit);
    }
  }
  out += '"';
}

void AppendJsonNumber(std::string& out, double number) {
  char buffer[32];
  std::to_chars_result result;
  if (std::trunc(number) == number && std::fabs(number) < 9007199254740992.0) {
    result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<int64_t>(number));
  } else {
    result = std::to_chars(buffer, buffer + sizeof buffer, number);
  }
  out.append(buffer, result.ptr);
}

}  // namespace rssvane_tool
