#pragma once

#include <string_view>

#include "feed/FeedState.h"

namespace rssvane {

// A property path names an element, or an attribute of it, in the channel,
// the image, the text input or an item: container "/" element "@" attribute,
// for example "item[3]/enclosure@url". A leading "/" stands for the channel.
struct PropertyPath {
  std::string_view container;
  std::string_view element;
  std::string_view attribute;
  bool hasAttribute = false;
};

// Cuts path into its parts; the views point into path (or at a literal).
PropertyPath SplitPropertyPath(std::string_view path) noexcept;

// The container a path's first part names: "channel" or empty, "image",
// "textInput", "item[N]" with N from 1 to the item count. 232 for any other
// text starting with "item" and for N out of range, 233 for anything else.
int FindPathContainer(FeedState& feed, std::string_view name, FeedContainer*& container) noexcept;

// GetProperty: the element's text or the attribute's value (empty text, not
// an error, for an attribute the element lacks); 233 when the element is not
// in the container.
int GetPropertyValue(FeedState& feed, std::string_view path, std::string_view& value) noexcept;

// SetProperty: sets the element's text or attribute, creating the element as
// an extra field of the container when it has none of that name.
int SetPropertyValue(FeedState& feed, std::string_view path, std::string_view value) noexcept;

}  // namespace rssvane
