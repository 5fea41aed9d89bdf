#pragma once

#include "feed/ConfigChain.h"
#include "feed/FeedState.h"

namespace rssvane {

// The feed's own settings, the top of the configuration chain:
// AllowNonRSS (a query answers "1" or "0") and ChannelGenerator.
class FeedSettings : public ConfigLayer {
 public:
  explicit FeedSettings(FeedState& feed) noexcept : feed_(feed) {}
  bool Configure(const ConfigSetting& setting, ConfigResult& result) override;

 private:
  FeedState& feed_;
};

}  // namespace rssvane
