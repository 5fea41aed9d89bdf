#pragma once

#include <cstdint>

#include "feed/ConfigChain.h"

namespace rssvane {

// How the component converts between its narrow text and a host's wide text,
// the bottom of the configuration chain: CodePage (a Windows code page
// number, 0 for the system's own encoding) and CharsetMode (the XML reader's
// multi-byte mode, taken at every Reset).
class TextSettings : public ConfigLayer {
 public:
  TextSettings();
  bool Configure(const ConfigSetting& setting, ConfigResult& result) override;

  int32_t CodePage() const noexcept { return codePage_; }
  // False, keeping the code page it had, for a number that no converter of
  // this system maps: every text would fail to cross the boundary after it.
  bool SetCodePage(int32_t codePage);
  uint8_t CharsetMode() const noexcept { return charsetMode_; }
  void SetCharsetMode(uint8_t mode) noexcept { charsetMode_ = mode; }

 private:
  int32_t codePage_ = 0;
  uint8_t charsetMode_ = 0;
};

}  // namespace rssvane
