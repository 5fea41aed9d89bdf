// Configuration strings come from hosts and scripts as any text; every one is
// parsed and offered to the feed and text conversion layers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/Codes.h"
#include "feed/ConfigChain.h"
#include "feed/FeedSettings.h"
#include "feed/TextSettings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  rssvane::ConfigSetting setting = rssvane::ParseConfigString(text);

  size_t equals = text.find('=');
  if (setting.isSet != (equals != std::string_view::npos)) std::abort();
  if (setting.isSet && setting.value != text.substr(equals + 1)) std::abort();
  if (setting.name.find_first_of("[]()=") != std::string::npos) std::abort();
  if (setting.name.size() > text.size()) std::abort();

  rssvane::FeedState feed;
  rssvane::FeedSettings rss(feed);
  rssvane::TextSettings conversion;
  rssvane::ConfigChain chain;
  chain.Attach(rssvane::ConfigLevel::kRss, &rss);
  chain.Attach(rssvane::ConfigLevel::kTextConversion, &conversion);
  rssvane::ConfigResult result;
  int rc = chain.Offer(setting, result);
  // A code page that no converter maps is the one value a known setting refuses.
  if (rc != 0 && rc != rssvane::kErrUnknownConfig && rc != rssvane::kErrCodePage) std::abort();
  if (rc == rssvane::kErrCodePage && result.message.find("is not supported.") == std::string::npos) std::abort();
  if (rc == rssvane::kErrUnknownConfig && result.message != "Unknown config setting.") std::abort();
  if (setting.isSet && !result.value.empty()) std::abort();
  return 0;
}
