#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "feed/ConfigString.h"

namespace rssvane {

// What a layer makes of a setting it handles: the answer to a query, or a
// failure code (not 0) with its message.
struct ConfigResult {
  std::string value;
  int code = 0;
  std::string message;
};

// One layer of the component that has settings of its own (the feed, the
// HTTP client, the TCP connection, the socket library, text conversion).
class ConfigLayer {
 public:
  virtual ~ConfigLayer() = default;

  // False when this layer does not know the setting (or knows it for reading
  // only and is asked to set it): the chain then offers it further down.
  virtual bool Configure(const ConfigSetting& setting, ConfigResult& result) = 0;

  // The feed's Reset (and reading a document, which resets) restores some
  // settings of the lower layers, the HTTP version among them; each layer
  // restores its own here.
  virtual void RestoreResetDefaults() {}
};

// The layers in the order a setting is offered to them, top down.
enum class ConfigLevel : size_t { kRss, kHttp, kTcp, kSocketLibrary, kTextConversion, kCount };

// Offers a setting to the attached layers from the top down; the first layer
// that knows the name handles it. Levels without a layer are passed over,
// so the network layers slot in when they exist.
class ConfigChain {
 public:
  // layer may be null to detach; the chain does not own it.
  void Attach(ConfigLevel level, ConfigLayer* layer) noexcept { layers_[static_cast<size_t>(level)] = layer; }
  ConfigLayer* At(ConfigLevel level) const noexcept { return layers_[static_cast<size_t>(level)]; }

  // 0 with the answer (empty after a change), the handling layer's code and
  // message, or -1 with "Unknown config setting." when no layer knows it.
  int Offer(const ConfigSetting& setting, ConfigResult& result);

  void RestoreResetDefaults();

 private:
  ConfigLayer* layers_[static_cast<size_t>(ConfigLevel::kCount)] = {};
};

inline constexpr std::string_view kUnknownConfigSetting = "Unknown config setting.";

}  // namespace rssvane
