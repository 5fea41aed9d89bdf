#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include "rssvane/RSS.h"

namespace rssvane_tool {

// The host behind `rssvane script`: one JSON request a line in, one JSON
// answer a line out, in order. Every request reaches the control through its
// late-bound interface, by member name:
//   {"get": NAME} or {"get": NAME, "index": N}
//   {"set": NAME, "value": V} or {"set": NAME, "index": N, "value": V}
//   {"call": NAME, "args": [A, ...]}
// answered by {"ok": true, "value": V} or
// {"ok": false, "number": N, "description": TEXT}, N being the error number a
// host sees; a line that is no valid request gets number 0.
class ScriptSession {
 public:
  explicit ScriptSession(rssvane::RSS& rss) : rss_(rss) {}

  // The answer to one request line, without its line end.
  std::string Answer(std::string_view line);
  // Answers every line of in until its end, flushing each answer.
  void Run(std::istream& in, std::ostream& out);

 private:
  rssvane::RSS& rss_;
};

}  // namespace rssvane_tool
