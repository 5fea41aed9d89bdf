#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/GrowString.h"
#include "base/StringList.h"

namespace rssvane {

// Bits of the version masks: which RSS versions allow or require a field.
enum VersionBit : uint8_t { kVersion091 = 1, kVersion092 = 2, kVersion200 = 4, kVersionAll = 7 };

// One element of a container: its name (with prefix when it has one), its
// text and its attributes. Texts are stored exactly as set. Most fields carry
// no attributes, so the attribute lists are made on first use.
class FeedField {
 public:
  FeedField() = default;
  FeedField(const FeedField&) = delete;
  FeedField& operator=(const FeedField&) = delete;

  // A fixed field takes its name from the container's table, which outlives it.
  void InitFixed(const char* name, uint8_t allowed, uint8_t required) noexcept;
  // A field created on demand: both masks 0.
  int InitExtra(std::string_view name) noexcept;

  std::string_view Name() const noexcept { return fixedName_ ? std::string_view(fixedName_) : ownName_; }
  uint8_t Allowed() const noexcept { return allowed_; }
  uint8_t Required() const noexcept { return required_; }

  std::string_view Text() const noexcept { return text_.View(); }
  int SetText(std::string_view text) noexcept { return text_.Assign(text); }
  GrowString& TextBuffer() noexcept { return text_; }

  size_t AttributeCount() const noexcept { return attributes_ ? attributes_->names.Count() : 0; }
  std::string_view AttributeName(size_t i) const noexcept { return attributes_ ? attributes_->names.Get(i) : ""; }
  std::string_view AttributeValue(size_t i) const noexcept { return attributes_ ? attributes_->values.Get(i) : ""; }
  // Empty text when the field has no attribute of that name.
  std::string_view Attribute(std::string_view name) const noexcept;
  // Replaces the value of the attribute of that name, or appends it.
  int SetAttribute(std::string_view name, std::string_view value) noexcept;

  bool HasContent() const noexcept { return !text_.Empty() || AttributeCount() > 0; }
  // Empties the text and the attributes; the name and masks stay.
  void Clear() noexcept;

 private:
  struct Attributes {
    StringList names;
    StringList values;
  };

  const char* fixedName_ = nullptr;
  std::string ownName_;
  GrowString text_;
  std::unique_ptr<Attributes> attributes_;
  uint8_t allowed_ = 0;
  uint8_t required_ = 0;
};

}  // namespace rssvane
