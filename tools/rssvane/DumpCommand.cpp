// rssvane dump FILE: reads a feed file as the control does and prints the
// model as one JSON object, for other programs to compare against.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "Commands.h"
#include "FeedJson.h"
#include "base/Codes.h"
#include "feed/FeedReader.h"

namespace {

using rssvane::FeedState;

int RunDump(const std::vector<std::string_view>& args) {
  if (args.size() != 1) {
    std::fputs("usage: rssvane dump FILE\n", stderr);
    return 2;
  }
  std::string path(args[0]);
  FeedState feed;
  rssvane::FeedReader reader;
  feed.ClearError();
  if (int code = reader.ReadFile(feed, path.c_str())) {
    rssvane::AutomationFailure failure = rssvane::FailureForCode(code, feed.LastErrorText());
    std::fprintf(stderr, "rssvane: error %d: %s\n", failure.number, failure.description.c_str());
    return 1;
  }
  std::string out = rssvane_tool::FeedJson(feed);
  std::fwrite(out.data(), 1, out.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

rssvane_tool::CommandRegistration dumpCommand{{"dump", "dump FILE    print a feed file as one JSON object", RunDump}};

}  // namespace
