// rssvane dump [--decode] [--atom] FILE: reads a feed file as the control
// does and prints the model as one JSON object, for other programs to compare
// against. --decode and --atom read it with DecodeDocument and ReadAtom on.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "Commands.h"
#include "FeedJson.h"
#include "base/Codes.h"
#include "feed/FeedEngine.h"

namespace {

using rssvane::FeedState;

int RunDump(const std::vector<std::string_view>& args) {
  rssvane::FeedEngine engine;
  std::string_view file;
  for (std::string_view arg : args) {
    std::string answer;
    if (arg == "--decode") {
      engine.Config("DecodeDocument=true", answer);
    } else if (arg == "--atom") {
      engine.Config("ReadAtom=true", answer);
    } else if (arg.substr(0, 1) != "-" && file.empty()) {
      file = arg;
    } else {
      file = {};
      break;
    }
  }
  if (file.empty()) {
    std::fputs("usage: rssvane dump [--decode] [--atom] FILE\n", stderr);
    return 2;
  }
  if (int code = engine.ReadFile(file)) {
    rssvane::AutomationFailure failure = rssvane::FailureForCode(code, engine.LastErrorText());
    std::fprintf(stderr, "rssvane: error %d: %s\n", failure.number, failure.description.c_str());
    return 1;
  }
  std::string out = rssvane_tool::FeedJson(engine.Feed());
  std::fwrite(out.data(), 1, out.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

rssvane_tool::CommandRegistration dumpCommand{
    {"dump", "dump [--decode] [--atom] FILE    print a feed file as one JSON object", RunDump}};

}  // namespace
