#pragma once

#include <string>

#include "feed/FeedState.h"

namespace rssvane_tool {

// The feed as one JSON object ended by a line feed: its version, namespaces,
// the channel, image and text input, and the items, each field with its
// name, text and attributes; texts converted from the system code page.
std::string FeedJson(rssvane::FeedState& feed);

}  // namespace rssvane_tool
