#include "feed/FeedSettings.h"

#include <utility>

#include "base/Codes.h"

namespace rssvane {

bool FeedSettings::Configure(const ConfigSetting& setting, ConfigResult& result) {
  if (ConfigNameIs(setting.name, "AllowNonRSS")) {
    if (setting.isSet) {
      feed_.SetAllowNonRss(ConfigBoolean(setting.value));
    } else {
      result.value = feed_.AllowNonRss() ? "1" : "0";
    }
    return true;
  }
  if (ConfigNameIs(setting.name, "ChannelGenerator")) {
    if (setting.isSet) {
      if (int rc = feed_.SetGenerator(setting.value)) {
        result.code = rc;
        result.message = feed_.LastErrorText();
      }
    } else {
      result.value = feed_.Generator();
    }
    return true;
  }
  for (auto [name, value] : {std::pair{"DecodeDocument", &decodeDocument_}, std::pair{"ReadAtom", &readAtom_}}) {
    if (!ConfigNameIs(setting.name, name)) continue;
    if (setting.isSet) {
      *value = ConfigBoolean(setting.value);
    } else {
      result.value = *value ? "1" : "0";
    }
    return true;
  }
  return false;
}

}  // namespace rssvane
