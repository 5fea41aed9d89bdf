#pragma once

// Whether Qt will find a display, and what to tell the user when it will not.

#include <string>

namespace vk {

// True when QT_QPA_PLATFORM names a platform, or DISPLAY or WAYLAND_DISPLAY
// is set.
bool DisplayAvailable();
std::string NoDisplayAdvice(const std::string& program);

}  // namespace vk
