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

enum TAuthScheme : int {
  authBasic = 0,
  authDigest = 1,
};

enum TFirewallType : int {
  fwNone = 0,
  fwTunnel = 1,
  fwSOCKS4 = 2,
  fwSOCKS5 = 3,
};

enum TFollowRedirects : int {
  frNever = 0,
  frAlways = 1,
  frSameScheme = 2,
};

}  // namespace rssvane
