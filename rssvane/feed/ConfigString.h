#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rssvane {

// One parsed configuration string: "Name", "Name=Value", with an optional
// index in brackets or parentheses anywhere before the "=" ("Name[2]=x").
// Nothing is trimmed: a space before "=" belongs to the name.
struct ConfigSetting {
  std::string name;
  bool hasIndex = false;
  int32_t index = 0;
  bool isSet = false;      // "=" present: set the value, else query
  std::string_view value;  // points into the parsed string
};

ConfigSetting ParseConfigString(std::string_view text);

// The value forms every layer shares.
// True for "true", "yes" and "1" in any case; anything else is false.
bool ConfigBoolean(std::string_view value) noexcept;
// An optional "-" and decimal digits up to the first other byte (0 when there
// are none); saturates at the 32-bit limits instead of wrapping.
int32_t ConfigNumber(std::string_view value) noexcept;
// Setting names compare ignoring ASCII case.
bool ConfigNameIs(std::string_view name, std::string_view known) noexcept;

}  // namespace rssvane
