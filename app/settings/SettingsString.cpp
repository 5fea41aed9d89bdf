#include "settings/SettingsString.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace vk {

namespace {

std::string_view TrimSpaces(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::vector<std::string_view> SplitAtBars(std::string_view text) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (;;) {
    size_t bar = text.find('|', start);
    if (bar == std::string_view::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, bar - start));
    start = bar + 1;
  }
}

const char* BooleanText(bool value) { return value ? "-1" : "0"; }

}  // namespace

bool ParseSettingsNumber(std::string_view text, double& value) {
  text = TrimSpaces(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  double parsed = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(parsed)) return false;
  value = parsed;
  return true;
}

bool ParseSettingsBoolean(std::string_view text, bool& value) {
  std::string_view trimmed = TrimSpaces(text);
  if (EqualsIgnoringCase(trimmed, "true")) {
    value = true;
    return true;
  }
  if (EqualsIgnoringCase(trimmed, "false")) {
    value = false;
    return true;
  }
  double number = 0;
  if (!ParseSettingsNumber(trimmed, number)) return false;
  value = number != 0;
  return true;
}

std::string FormatSettingsNumber(double value) {
  // Fixed notation: the shortest form would write 100000 as "1e+05". The
  // widest finite double in fixed notation needs fewer than 400 characters.
  char text[400];
  auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
  if (ec != std::errc()) return "0";
  return std::string(text, end);
}

std::string BuildSettingsString(const SettingsFields& f) {
  std::string text;
  text += f.AppGUID;
  text += '|';
  text += BooleanText(f.AutoProgUpdateCheck);
  text += '|';
  text += BooleanText(f.EnableNewsFeed);
  text += '|';
  text += FormatSettingsNumber(f.FilesEncrypted);
  text += "||";  // position 4 is reserved
  text += BooleanText(f.MaintainHistory);
  text += '|';
  text += FormatSettingsNumber(f.MessagesEncrypted);
  text += '|';
  text += f.ProgramPWD;
  text += '|';
  text += FormatSettingsNumber(f.TotalPasswords);
  text += '|';
  text += BooleanText(f.UseProgPWD);
  text += '|';  // position 10 is reserved
  return text;
}

void ParseSettingsString(std::string_view text, SettingsFields& f) {
  const std::vector<std::string_view> parts = SplitAtBars(text);
  auto at = [&](size_t position) -> const std::string_view* {
    return position < parts.size() ? &parts[position] : nullptr;
  };
  if (auto p = at(0)) f.AppGUID = std::string(*p);
  if (auto p = at(1)) ParseSettingsBoolean(*p, f.AutoProgUpdateCheck);
  if (auto p = at(2)) ParseSettingsBoolean(*p, f.EnableNewsFeed);
  if (auto p = at(3)) ParseSettingsNumber(*p, f.FilesEncrypted);
  if (auto p = at(5)) ParseSettingsBoolean(*p, f.MaintainHistory);
  if (auto p = at(6)) ParseSettingsNumber(*p, f.MessagesEncrypted);
  if (auto p = at(7)) f.ProgramPWD = std::string(*p);
  if (auto p = at(8)) ParseSettingsNumber(*p, f.TotalPasswords);
  if (auto p = at(9)) ParseSettingsBoolean(*p, f.UseProgPWD);
}

}  // namespace vk
