// rssvane: the feed component on the command line.
#include <cstdio>
#include <cstring>
#include <string_view>

#include "vk/Version.h"

namespace {

constexpr const char* kUsage =
    "Usage: rssvane COMMAND [ARGUMENTS]\n"
    "\n"
    "The RSS component on the command line.\n"
    "\n"
    "Options:\n"
    "  --help       print this help and exit\n"
    "  --version    print the component's version and exit\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::string_view command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (command == "--version") {
    std::printf("rssvane %s (component version %s)\n", vk::kVersionText, vk::kRssvaneFileVersion);
    return 0;
  }
  std::fprintf(stderr, "rssvane: unknown command '%s'\n\n%s", argv[1], kUsage);
  return 2;
}
