#pragma once

// The clear text inside settings.dat: eleven fields joined by "|", in a fixed
// order. Kept free of Qt and of the engine so that the parser can be fuzzed.

#include <string>
#include <string_view>

namespace vk {

struct SettingsFields {
  std::string AppGUID;
  bool AutoProgUpdateCheck = false;
  bool EnableNewsFeed = false;
  double FilesEncrypted = 0;
  bool MaintainHistory = false;
  double MessagesEncrypted = 0;
  std::string ProgramPWD;  // a password verifier, or "UNSETVALUE"/empty for none
  double TotalPasswords = 0;
  bool UseProgPWD = false;
};

inline constexpr int kSettingsFieldCount = 11;

// Booleans as "-1"/"0", counters as plain decimal digits, positions 4 and 10
// (reserved) empty.
std::string BuildSettingsString(const SettingsFields& fields);

// Assigns every field whose position exists and whose text converts; the rest
// keep the value they had.
void ParseSettingsString(std::string_view text, SettingsFields& fields);

// The conversions of single fields, as the parser applies them.
bool ParseSettingsBoolean(std::string_view text, bool& value);
bool ParseSettingsNumber(std::string_view text, double& value);
std::string FormatSettingsNumber(double value);

}  // namespace vk
