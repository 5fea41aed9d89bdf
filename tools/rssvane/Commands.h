#pragma once

#include <functional>
#include <string_view>
#include <vector>

namespace rssvane_tool {

// A command of the rssvane tool. args are the words after the command's name;
// the result is the exit code (0 success, 1 failure, 2 wrong usage).
struct Command {
  std::string_view name;
  std::string_view synopsis;  // one line for --help, e.g. "dump FILE    print a feed as JSON"
  std::function<int(const std::vector<std::string_view>& args)> run;
};

std::vector<Command>& Commands();

// Declared at namespace scope in a command's own file:
//   static rssvane_tool::CommandRegistration dump{{"dump", "dump FILE ...", RunDump}};
struct CommandRegistration {
  explicit CommandRegistration(Command command) { Commands().push_back(std::move(command)); }
};

}  // namespace rssvane_tool
