#pragma once

// Enumerations of the RSS control that the engine inside the component and
// its hosts share, so that both see one type.

namespace rssvane {

enum TRSSVersion : int {
  rssVersionUndefined = 0,
  rssVersion091 = 1,
  rssVersion092 = 2,
  rssVersion200 = 3,
};

}  // namespace rssvane
