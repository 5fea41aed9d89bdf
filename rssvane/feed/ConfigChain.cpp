#include "feed/ConfigChain.h"

#include "base/Codes.h"

namespace rssvane {

int ConfigChain::Offer(const ConfigSetting& setting, ConfigResult& result) {
  result = ConfigResult();
  for (ConfigLayer* layer : layers_) {
    if (layer && layer->Configure(setting, result)) {
      if (result.code != 0 || setting.isSet) result.value.clear();
      return result.code;
    }
  }
  result = ConfigResult();
  result.code = kErrUnknownConfig;
  result.message = kUnknownConfigSetting;
  return result.code;
}

void ConfigChain::RestoreResetDefaults() {
  for (ConfigLayer* layer : layers_) {
    if (layer) layer->RestoreResetDefaults();
  }
}

}  // namespace rssvane
