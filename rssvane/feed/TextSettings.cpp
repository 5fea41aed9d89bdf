#include "feed/TextSettings.h"

#include <string>

#include "base/CodePage.h"
#include "base/Codes.h"

namespace rssvane {

TextSettings::TextSettings() : charsetMode_(SystemCodePageIsJapanese() ? 1 : 0) {}

bool TextSettings::SetCodePage(int32_t codePage) {
  if (!CodePageAvailable(codePage)) return false;
  codePage_ = codePage;
  return true;
}

bool TextSettings::Configure(const ConfigSetting& setting, ConfigResult& result) {
  if (ConfigNameIs(setting.name, "CodePage")) {
    if (setting.isSet) {
      int32_t codePage = ConfigNumber(setting.value);
      if (!SetCodePage(codePage)) {
        result.code = kErrCodePage;
        result.message = "Code page " + std::to_string(codePage) + " is not supported.";
      }
    } else {
      result.value = std::to_string(codePage_);
    }
    return true;
  }
  if (ConfigNameIs(setting.name, "CharsetMode")) {
    if (setting.isSet) {
      // An 8-bit setting, as the XML reader takes it.
      charsetMode_ = static_cast<uint8_t>(ConfigNumber(setting.value));
    } else {
      result.value = std::to_string(charsetMode_);
    }
    return true;
  }
  return false;
}

}  // namespace rssvane
