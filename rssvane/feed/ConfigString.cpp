#include "feed/ConfigString.h"

#include <limits>

namespace rssvane {

namespace {

char AsciiLower(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

ConfigSetting ParseConfigString(std::string_view text) {
  ConfigSetting setting;
  size_t equals = text.find('=');
  std::string_view head = text.substr(0, equals);
  if (equals != std::string_view::npos) {
    setting.isSet = true;
    setting.value = text.substr(equals + 1);
  }
  std::string indexText;
  bool inIndex = false;
  for (char c : head) {
    if (c == '[' || c == '(') {
      inIndex = true;
      setting.hasIndex = true;
    } else if (c == ']' || c == ')') {
      inIndex = false;
    } else if (inIndex) {
      indexText += c;
    } else {
      setting.name += c;
    }
  }
  if (setting.hasIndex) setting.index = ConfigNumber(indexText);
  return setting;
}

bool ConfigBoolean(std::string_view value) noexcept {
  return ConfigNameIs(value, "true") || ConfigNameIs(value, "yes") || value == "1";
}

int32_t ConfigNumber(std::string_view value) noexcept {
  bool negative = !value.empty() && value.front() == '-';
  if (negative) value.remove_prefix(1);
  int64_t magnitude = 0;
  for (char c : value) {
    if (c < '0' || c > '9') break;
    if (magnitude <= std::numeric_limits<int32_t>::max()) magnitude = magnitude * 10 + (c - '0');
  }
  if (negative) {
    magnitude = -magnitude;
    return magnitude < std::numeric_limits<int32_t>::min() ? std::numeric_limits<int32_t>::min()
                                                           : static_cast<int32_t>(magnitude);
  }
  return magnitude > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                         : static_cast<int32_t>(magnitude);
}

bool ConfigNameIs(std::string_view name, std::string_view known) noexcept {
  if (name.size() != known.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (AsciiLower(name[i]) != AsciiLower(known[i])) return false;
  }
  return true;
}

}  // namespace rssvane
