#include "EventJson.h"

#include <utility>

#include "ScriptJson.h"

namespace rssvane_tool {

void AppendJsonVariant(std::string& out, const rssvane::Variant& value) {
  using Type = rssvane::Variant::Type;
  switch (value.GetType()) {
    case Type::kEmpty: out += "null"; break;
    case Type::kBool: out += value.Bool() ? "true" : "false"; break;
    case Type::kInt16: out += std::to_string(value.Int16()); break;
    case Type::kInt32: out += std::to_string(value.Int32()); break;
    case Type::kDouble: AppendJsonNumber(out, value.Double()); break;
    case Type::kText: AppendJsonString(out, value.Text()); break;
    case Type::kBytes: {
      out += '[';
      for (size_t i = 0; i < value.Bytes().size(); ++i) {
        if (i) out += ',';
        out += std::to_string(value.Bytes()[i]);
      }
      out += ']';
      break;
    }
  }
}

void EventJsonSink::Invoke(int32_t dispId, std::vector<rssvane::Variant>& args) {
  const rssvane::EventInfo* info = rssvane::FindEvent(dispId);
  if (!info) return;
  std::string line = "{\"event\":";
  AppendJsonString(line, info->name);
  line += ",\"args\":{";
  for (size_t i = 0; i < info->parameterCount && i < args.size(); ++i) {
    if (i > 0) line += ',';
    AppendJsonString(line, info->parameters[i]);
    line += ':';
    AppendJsonVariant(line, args[i]);
  }
  line += "}}\n";
  if (out_) {
    std::fwrite(line.data(), 1, line.size(), out_);
    std::fflush(out_);
  } else {
    lines_ += line;
  }
}

std::string EventJsonSink::Take() { return std::exchange(lines_, {}); }

}  // namespace rssvane_tool
