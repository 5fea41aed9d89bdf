// The settings string as settings.dat yields it after decryption: any bytes
// must parse without harm, and what is built from the result must parse back
// to the same fields.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "settings/SettingsString.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vk::SettingsFields fields;
  vk::ParseSettingsString(std::string_view(reinterpret_cast<const char*>(data), size), fields);
  // A field that carries "|" cannot survive a round trip; the program refuses such passwords.
  if (fields.AppGUID.find('|') != std::string::npos || fields.ProgramPWD.find('|') != std::string::npos) return 0;
  vk::SettingsFields again;
  vk::ParseSettingsString(vk::BuildSettingsString(fields), again);
  if (again.AppGUID != fields.AppGUID || again.ProgramPWD != fields.ProgramPWD ||
      again.FilesEncrypted != fields.FilesEncrypted || again.MessagesEncrypted != fields.MessagesEncrypted ||
      again.TotalPasswords != fields.TotalPasswords || again.UseProgPWD != fields.UseProgPWD ||
      again.MaintainHistory != fields.MaintainHistory || again.EnableNewsFeed != fields.EnableNewsFeed ||
      again.AutoProgUpdateCheck != fields.AutoProgUpdateCheck)
    std::abort();
  return 0;
}
