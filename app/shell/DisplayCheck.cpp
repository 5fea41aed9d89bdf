#include "shell/DisplayCheck.h"

#include <cstdlib>

namespace vk {

namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

}  // namespace

bool DisplayAvailable() { return IsSet("QT_QPA_PLATFORM") || IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY"); }

std::string NoDisplayAdvice(const std::string& program) {
  return "Velkor Crypto is a windowed program and no display was found (DISPLAY is not set).\n"
         "Run it on a desktop session, or under a virtual X server:\n"
         "  xvfb-run -a " + program + "\n"
         "or, with the server started by hand:\n"
         "  Xvfb :99 -screen 0 1280x800x24 &  DISPLAY=:99 " + program + "\n"
         "(xvfb-run comes with the Debian package xvfb, which scripts/setup.sh installs.)\n";
}

}  // namespace vk
