// The script host reads a JSON text a line from whoever drives it. What it
// accepts must write back out and read again to the same value.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ScriptJson.h"

namespace {

using rssvane_tool::JsonValue;

void Write(const JsonValue& v, std::string& out) {
  switch (v.type) {
    case JsonValue::Type::kNull: out += "null"; break;
    case JsonValue::Type::kBool: out += v.boolean ? "true" : "false"; break;
    case JsonValue::Type::kNumber: rssvane_tool::AppendJsonNumber(out, v.number); break;
    case JsonValue::Type::kString: rssvane_tool::AppendJsonString(out, v.text); break;
    case JsonValue::Type::kArray:
      out += '[';
      for (size_t i = 0; i < v.items.size(); ++i) {
        if (i) out += ',';
        Write(v.items[i], out);
      }
      out += ']';
      break;
    case JsonValue::Type::kObject:
      out += '{';
      for (size_t i = 0; i < v.items.size(); ++i) {
        if (i) out += ',';
        rssvane_tool::AppendJsonString(out, v.keys[i]);
        out += ':';
        Write(v.items[i], out);
      }
      out += '}';
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  JsonValue value;
  std::string why;
  if (!rssvane_tool::ParseJson(text, value, why)) {
    if (why.empty()) std::abort();
    return 0;
  }
  std::string first, second;
  Write(value, first);
  JsonValue again;
  if (!rssvane_tool::ParseJson(first, again, why)) std::abort();
  Write(again, second);
  if (first != second) std::abort();
  return 0;
}
