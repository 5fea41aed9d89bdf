#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rssvane_tool {

// The JSON that `rssvane script` reads and writes: one value per line. Texts
// are kept as UTF-16, the control's own form, so a lone surrogate written as
// an escape survives the trip in both directions.
struct JsonValue {
  enum class Type { kNull, kBool, kNumber, kString, kArray, kObject };

  Type type = Type::kNull;
  bool boolean = false;
  double number = 0;
  std::u16string text;
  std::vector<JsonValue> items;      // array elements, or object values
  std::vector<std::u16string> keys;  // object keys, parallel to items

  // The value of the first member named key, or null.
  const JsonValue* Member(std::u16string_view key) const;
};

// Parses one complete JSON text (RFC 8259, strict: valid UTF-8, no trailing
// text, nesting at most 64 deep). On failure returns false and says why.
bool ParseJson(std::string_view text, JsonValue& value, std::string& why);

// Appends text as a JSON string in UTF-8.
void AppendJsonString(std::string& out, std::u16string_view text);
// Appends a number: whole numbers without a fraction, others in their
// shortest form that reads back exactly.
void AppendJsonNumber(std::string& out, double number);

}  // namespace rssvane_tool
