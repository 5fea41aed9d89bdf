#include "ScriptSession.h"

#include <cmath>
#include <istream>
#include <new>
#include <ostream>
#include <vector>

#include "EventJson.h"
#include "ScriptJson.h"
#include "rssvane/MessageLoop.h"

namespace rssvane_tool {

namespace {

using rssvane::RSS;
using rssvane::Variant;

std::string Failure(int number, std::u16string_view description) {
  std::string out = "{\"ok\":false,\"number\":";
  out += std::to_string(number);
  out += ",\"description\":";
  AppendJsonString(out, description);
  out += '}';
  return out;
}

std::string BadRequest(std::string_view why) {
  return Failure(0, std::u16string(why.begin(), why.end()));
}

std::string Success(const Variant& value) {
  std::string out = "{\"ok\":true,\"value\":";
  AppendJsonVariant(out, value);
  out += '}';
  return out;
}

// A JSON scalar as the argument a host would pass; whole numbers that fit
// travel as 32-bit integers.
bool ToVariant(const JsonValue& json, Variant& out) {
  switch (json.type) {
    case JsonValue::Type::kNull: out = Variant(); return true;
    case JsonValue::Type::kBool: out = Variant(json.boolean); return true;
    case JsonValue::Type::kString: out = Variant(json.text); return true;
    case JsonValue::Type::kNumber:
      if (std::trunc(json.number) == json.number && json.number >= -2147483648.0 && json.number <= 2147483647.0) {
        out = Variant(static_cast<int32_t>(json.number));
      } else {
        out = Variant(json.number);
      }
      return true;
    default: return false;
  }
}

std::string Narrow(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

}  // namespace

ScriptSession::ScriptSession(RSS& rss) : rss_(rss), cookie_(rss.Advise(&printer_)) {}

ScriptSession::~ScriptSession() { rss_.Unadvise(cookie_); }

std::string ScriptSession::Answer(std::string_view line) {
  std::string answer = Respond(line);
  std::string out = printer_.Take();
  out += answer;
  return out;
}

std::string ScriptSession::Respond(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  JsonValue request;
  std::string why;
  if (!ParseJson(line, request, why)) return BadRequest("Not valid JSON: " + why + ".");
  if (request.type != JsonValue::Type::kObject) return BadRequest("A request must be a JSON object.");

  const JsonValue* name = nullptr;
  const JsonValue* index = nullptr;
  const JsonValue* value = nullptr;
  const JsonValue* args = nullptr;
  const JsonValue* pump = nullptr;
  RSS::DispatchKind kind = RSS::DispatchKind::kMethod;
  int verbs = 0;
  for (size_t i = 0; i < request.keys.size(); ++i) {
    const std::u16string& key = request.keys[i];
    const JsonValue* item = &request.items[i];
    const JsonValue** slot = nullptr;
    if (key == u"get" || key == u"set" || key == u"call") {
      ++verbs;
      slot = &name;
      kind = key == u"get" ? RSS::DispatchKind::kPropertyGet
             : key == u"set" ? RSS::DispatchKind::kPropertyPut
                             : RSS::DispatchKind::kMethod;
    } else if (key == u"index") {
      slot = &index;
    } else if (key == u"value") {
      slot = &value;
    } else if (key == u"args") {
      slot = &args;
    } else if (key == u"pump") {
      slot = &pump;
    } else {
      return BadRequest("Unknown member \"" + Narrow(key) + "\" in the request.");
    }
    if (*slot && slot != &name) return BadRequest("Member \"" + Narrow(key) + "\" appears twice.");
    *slot = item;
  }
  if (pump) {
    if (verbs || index || value || args) return BadRequest("A pump request takes nothing else.");
    if (pump->type != JsonValue::Type::kNumber || std::trunc(pump->number) != pump->number || pump->number < 0 ||
        pump->number > 2147483647.0) {
      return BadRequest("\"pump\" must be a whole number of milliseconds.");
    }
    rssvane::PumpMessages(static_cast<int>(pump->number));
    return Success(Variant());
  }
  if (verbs != 1) return BadRequest("A request needs exactly one of \"get\", \"set\" and \"call\".");
  if (name->type != JsonValue::Type::kString) return BadRequest("The member name must be a string.");

  std::vector<Variant> arguments;
  if (kind == RSS::DispatchKind::kMethod) {
    if (index || value) return BadRequest("A call takes \"args\", not \"index\" or \"value\".");
    if (args) {
      if (args->type != JsonValue::Type::kArray) return BadRequest("\"args\" must be an array.");
      for (const JsonValue& arg : args->items) {
        arguments.emplace_back();
        if (!ToVariant(arg, arguments.back())) return BadRequest("Arguments must be strings, numbers, booleans or null.");
      }
    }
  } else {
    if (args) return BadRequest("\"args\" belongs to a call.");
    if (index) {
      if (index->type != JsonValue::Type::kNumber || std::trunc(index->number) != index->number) {
        return BadRequest("\"index\" must be a whole number.");
      }
      arguments.emplace_back();
      ToVariant(*index, arguments.back());
    }
    if (kind == RSS::DispatchKind::kPropertyGet && value) return BadRequest("\"value\" belongs to a set.");
    if (kind == RSS::DispatchKind::kPropertyPut) {
      if (!value) return BadRequest("A set needs a \"value\".");
      arguments.emplace_back();
      if (!ToVariant(*value, arguments.back())) {
        return BadRequest("A value must be a string, a number, a boolean or null.");
      }
    }
  }

  try {
    return Success(rss_.Invoke(name->text, kind, arguments));
  } catch (const rssvane::AutomationError& e) {
    return Failure(e.Number(), e.Description());
  } catch (const std::bad_alloc&) {
    return Failure(7, u"Out of memory.");
  }
}

void ScriptSession::Run(std::istream& in, std::ostream& out) {
  std::string line;
  while (std::getline(in, line)) {
    out << Answer(line) << '\n';
    out.flush();
  }
}

}  // namespace rssvane_tool
