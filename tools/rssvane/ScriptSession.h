#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "EventJson.h"
#include "rssvane/RSS.h"

namespace rssvane_tool {

// The host behind `rssvane script`: one JSON request a line in, one JSON
// answer a line out, in order. Every request reaches the control through its
// late-bound interface, by member name:
//   {"get": NAME} or {"get": NAME, "index": N}
//   {"set": NAME, "value": V} or {"set": NAME, "index": N, "value": V}
//   {"call": NAME, "args": [A, ...]}
//   {"pump": MS}: serves the thread's queue for MS milliseconds
// answered by {"ok": true, "value": V} or
// {"ok": false, "number": N, "description": TEXT}, N being the error number a
// host sees; a line that is no valid request gets number 0. Every event the
// control fires while a request runs comes first, one line each:
// {"event": NAME, "args": {PARAMETER: VALUE, ...}}.
class ScriptSession {
 public:
  explicit ScriptSession(rssvane::RSS& rss);
  ~ScriptSession();
  ScriptSession(const ScriptSession&) = delete;
  ScriptSession& operator=(const ScriptSession&) = delete;

  // What one request line produces: the event lines, each ended by a line
  // feed, then the answer without its line end.
  std::string Answer(std::string_view line);
  // Answers every line of in until its end, flushing each answer.
  void Run(std::istream& in, std::ostream& out);

 private:
  std::string Respond(std::string_view line);

  rssvane::RSS& rss_;
  EventJsonSink printer_;
  uint32_t cookie_ = 0;
};

}  // namespace rssvane_tool
