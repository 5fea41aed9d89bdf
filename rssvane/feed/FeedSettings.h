#pragma once

#include "feed/ConfigChain.h"
#include "feed/FeedState.h"

namespace rssvane {

// The feed's own settings, the top of the configuration chain:
// AllowNonRSS (a query answers "1" or "0") and ChannelGenerator, and how
// documents are read: DecodeDocument (a document is converted from its own
// encoding into the code page before it is read) and ReadAtom (an Atom 1.0
// feed is mapped into the model as RSS 2.0 would carry it), both false by
// default. The reading settings are the host's choice and outlive Reset and
// every document read.
class FeedSettings : public ConfigLayer {
 public:
  explicit FeedSettings(FeedState& feed) noexcept : feed_(feed) {}
  bool Configure(const ConfigSetting& setting, ConfigResult& result) override;

  bool DecodeDocument() const noexcept { return decodeDocument_; }
  bool ReadAtom() const noexcept { return readAtom_; }

 private:
  FeedState& feed_;
  bool decodeDocument_ = false;
  bool readAtom_ = false;
};

}  // namespace rssvane
