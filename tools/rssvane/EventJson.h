#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "rssvane/Events.h"
#include "rssvane/Variant.h"

namespace rssvane_tool {

// A value as JSON: null, true or false, a number, a string, or an array of
// numbers for bytes.
void AppendJsonVariant(std::string& out, const rssvane::Variant& value);

// A late-bound sink that writes every event of a control as one JSON line,
// ended by a line feed, with the names of _IRSSEvents:
//   {"event":NAME,"args":{PARAMETER:VALUE,...}}
// Given a stream, each line goes there at once; otherwise lines are kept
// until taken.
class EventJsonSink final : public rssvane::EventDispatch {
 public:
  explicit EventJsonSink(std::FILE* out = nullptr) : out_(out) {}
  void Invoke(int32_t dispId, std::vector<rssvane::Variant>& args) override;
  std::string Take();

 private:
  std::FILE* out_;
  std::string lines_;
};

}  // namespace rssvane_tool
