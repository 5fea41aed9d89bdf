#include "feed/PropertyPath.h"

#include <string>

#include "base/Codes.h"

namespace rssvane {

namespace {

// N of "item[N]": an optional sign and at least one decimal digit, nothing
// else. Values too large to be an index saturate and fail the range check.
bool ParseItemIndex(std::string_view name, long long& index) noexcept {
  constexpr std::string_view kOpen = "item[";
  if (name.size() < kOpen.size() + 2 || name.substr(0, kOpen.size()) != kOpen || name.back() != ']') return false;
  std::string_view digits = name.substr(kOpen.size(), name.size() - kOpen.size() - 1);
  bool negative = false;
  if (digits.front() == '+' || digits.front() == '-') {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  if (digits.empty()) return false;
  long long value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    if (value < 1'000'000'000'000LL) value = value * 10 + (c - '0');
  }
  index = negative ? -value : value;
  return true;
}

}  // namespace

PropertyPath SplitPropertyPath(std::string_view path) noexcept {
  PropertyPath parts;
  std::string_view rest;
  if (!path.empty() && path.front() == '/') {
    parts.container = "channel";
    rest = path.substr(1);
  } else {
    size_t slash = path.find('/');
    if (slash == std::string_view::npos) {
      parts.container = path;
      return parts;
    }
    parts.container = path.substr(0, slash);
    rest = path.substr(slash + 1);
  }
  size_t at = rest.find('@');
  if (at == std::string_view::npos) {
    parts.element = rest;
  } else {
    parts.element = rest.substr(0, at);
    parts.attribute = rest.substr(at + 1);
    parts.hasAttribute = true;
  }
  return parts;
}

int FindPathContainer(FeedState& feed, std::string_view name, FeedContainer*& container) noexcept {
  container = nullptr;
  if (name.empty() || name == "channel") {
    container = &feed.Channel();
  } else if (name == "image") {
    container = &feed.Image();
  } else if (name == "textInput") {
    container = &feed.TextInput();
  } else if (name.substr(0, 4) == "item") {
    long long index = 0;
    if (ParseItemIndex(name, index) && index >= 1 && static_cast<unsigned long long>(index) <= feed.ItemCount()) {
      container = feed.Item(static_cast<long>(index));
    }
    if (!container) return feed.Fail(kErrInvalidIndex, "Invalid item index.");
  } else {
    try {
      return feed.Fail(kErrPropertyPath, "Cannot find root level element: " + std::string(name) + ".");
    } catch (const std::bad_alloc&) {
      return feed.Fail(kErrOutOfMemory);
    }
  }
  return 0;
}

int GetPropertyValue(FeedState& feed, std::string_view path, std::string_view& value) noexcept {
  value = {};
  PropertyPath parts = SplitPropertyPath(path);
  FeedContainer* container;
  if (int rc = FindPathContainer(feed, parts.container, container)) return rc;
  const FeedField* field = container->Find(parts.element);
  if (!field) {
    try {
      return feed.Fail(kErrPropertyPath, "Invalid property name (" + std::string(path) + ").");
    } catch (const std::bad_alloc&) {
      return feed.Fail(kErrOutOfMemory);
    }
  }
  value = parts.hasAttribute ? field->Attribute(parts.attribute) : field->Text();
  return 0;
}

int SetPropertyValue(FeedState& feed, std::string_view path, std::string_view value) noexcept {
  PropertyPath parts = SplitPropertyPath(path);
  FeedContainer* container;
  if (int rc = FindPathContainer(feed, parts.container, container)) return rc;
  FeedField* field = container->Find(parts.element);
  if (!field) {
    if (int rc = container->AddExtra(parts.element, field)) return feed.Fail(rc);
  }
  return parts.hasAttribute ? feed.SetFieldAttribute(*field, parts.attribute, value) : feed.SetFieldText(*field, value);
}

}  // namespace rssvane
