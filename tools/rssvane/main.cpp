// rssvane: the feed component on the command line.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "Commands.h"
#include "vk/Version.h"

namespace rssvane_tool {

std::vector<Command>& Commands() {
  static std::vector<Command> commands;
  return commands;
}

}  // namespace rssvane_tool

namespace {

std::string Usage() {
  std::string text =
      "Usage: rssvane COMMAND [ARGUMENTS]\n"
      "\n"
      "The RSS component on the command line.\n"
      "\n"
      "Commands:\n";
  for (const auto& command : rssvane_tool::Commands()) {
    text += "  ";
    text += command.synopsis;
    text += '\n';
  }
  text +=
      "\n"
      "Options:\n"
      "  --help       print this help and exit\n"
      "  --version    print the component's version and exit\n";
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(Usage().c_str(), stderr);
    return 2;
  }
  std::string_view name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    std::fputs(Usage().c_str(), stdout);
    return 0;
  }
  if (name == "--version") {
    std::printf("rssvane %s (component version %s)\n", vk::kVersionText, vk::kRssvaneFileVersion);
    return 0;
  }
  for (const auto& command : rssvane_tool::Commands()) {
    if (command.name == name) return command.run(std::vector<std::string_view>(argv + 2, argv + argc));
  }
  std::fprintf(stderr, "rssvane: unknown command '%s'\n\n%s", argv[1], Usage().c_str());
  return 2;
}
