#include "feed/FeedField.h"

#include <new>

#include "base/Codes.h"

namespace rssvane {

void FeedField::InitFixed(const char* name, uint8_t allowed, uint8_t required) noexcept {
  fixedName_ = name;
  allowed_ = allowed;
  required_ = required;
}

int FeedField::InitExtra(std::string_view name) noexcept {
  try {
    ownName_.assign(name);
  } catch (const std::bad_alloc&) {
    return kErrListMemory;
  }
  fixedName_ = nullptr;
  allowed_ = required_ = 0;
  return 0;
}

std::string_view FeedField::Attribute(std::string_view name) const noexcept {
  if (!attributes_) return {};
  long at = attributes_->names.Find(name);
  return at < 0 ? std::string_view() : attributes_->values.Get(static_cast<size_t>(at));
}

int FeedField::SetAttribute(std::string_view name, std::string_view value) noexcept {
  if (!attributes_) {
    attributes_.reset(new (std::nothrow) Attributes);
    if (!attributes_) return kErrOutOfMemory;
  }
  long at = attributes_->names.Find(name);
  if (at >= 0) return attributes_->values.Set(static_cast<size_t>(at), value);
  if (int rc = attributes_->names.Append(name)) return rc;
  if (int rc = attributes_->values.Append(value)) {
    // Keep the two lists the same length.
    attributes_->names.Resize(attributes_->values.Count());
    return rc;
  }
  return 0;
}

void FeedField::Clear() noexcept {
  text_.Clear();
  attributes_.reset();
}

}  // namespace rssvane
