// rssvane script: a host for the control driven by JSON lines.
#include <cstdio>
#include <iostream>

#include "Commands.h"
#include "ScriptSession.h"

namespace {

int RunScript(const std::vector<std::string_view>& args) {
  if (!args.empty()) {
    std::fputs("usage: rssvane script < requests\n", stderr);
    return 2;
  }
  std::ios::sync_with_stdio(false);
  rssvane::RSS rss;
  rssvane_tool::ScriptSession(rss).Run(std::cin, std::cout);
  return 0;
}

rssvane_tool::CommandRegistration registration{
    {"script", "script       drive the control with JSON requests, one a line, on standard input", RunScript}};

}  // namespace
