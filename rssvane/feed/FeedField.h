#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "base/GrowString.h"
#include "base/NameIndex.h"

namespace rssvane {

// Bits of the version masks: which RSS versions allow or require a field.
enum VersionBit : uint8_t { kVersion091 = 1, kVersion092 = 2, kVersion200 = 4, kVersionAll = 7 };

// One element of a container: its name (with prefix when it has one), its
// text and its attributes. Texts are stored exactly as set.
//
// A feed of tens of thousands of items holds ten fixed fields per item, most
// of them empty, so a field is kept small: the text and the name of a field
// made on demand each take one block of exactly their size, and the
// attributes (most fields have none) are packed into one block, made on
// first use.
class FeedField {
 public:
  FeedField() = default;
  ~FeedField();
  FeedField(const FeedField&) = delete;
  FeedField& operator=(const FeedField&) = delete;

  // A fixed field takes its name from the container's table, which outlives it.
  void InitFixed(const char* name, uint8_t allowed, uint8_t required) noexcept;
  // A field created on demand: both masks 0.
  int InitExtra(std::string_view name) noexcept;

  std::string_view Name() const noexcept {
    return fixedName_ ? std::string_view(fixedName_) : std::string_view(ownName_, ownNameLength_);
  }
  uint8_t Allowed() const noexcept { return allowed_; }
  uint8_t Required() const noexcept { return required_; }

  std::string_view Text() const noexcept {
    return buffer_ ? buffer_->View() : std::string_view(text_, textLength_);
  }
  int SetText(std::string_view text) noexcept;
  // The text as a growable string, for building it piece by piece; from then
  // on the field keeps its text there.
  GrowString& TextBuffer() noexcept;

  size_t AttributeCount() const noexcept { return attributeCount_; }
  std::string_view AttributeName(size_t i) const noexcept;
  std::string_view AttributeValue(size_t i) const noexcept;
  // Empty text when the field has no attribute of that name.
  std::string_view Attribute(std::string_view name) const noexcept;
  // Replaces the value of the attribute of that name, or appends it.
  int SetAttribute(std::string_view name, std::string_view value) noexcept;

  bool HasContent() const noexcept { return !Text().empty() || attributeCount_ > 0; }
  // Empties the text and the attributes; the name and masks stay.
  void Clear() noexcept;

 private:
  struct AttributeEntry {
    uint32_t nameOffset, nameLength, valueOffset, valueLength;
  };
  const AttributeEntry* Entries() const noexcept { return reinterpret_cast<const AttributeEntry*>(attributes_); }
  AttributeEntry* Entries() noexcept { return reinterpret_cast<AttributeEntry*>(attributes_); }
  const char* Bytes() const noexcept { return attributes_ + entryCapacity_ * sizeof(AttributeEntry); }
  char* Bytes() noexcept { return attributes_ + entryCapacity_ * sizeof(AttributeEntry); }
  // Position of the attribute called name, or -1.
  long FindAttribute(std::string_view name) const noexcept;
  // Makes room for entries attributes and bytes more bytes. When the block
  // has to move, the live names and values are packed into the new one and
  // old receives the previous block, for the caller to free once it no
  // longer reads from it.
  int MakeRoom(size_t entries, size_t bytes, char*& old) noexcept;

  // A field that collects many attributes (a repeated element with ever new
  // names) gets an index by name, so that collecting them stays linear.
  static constexpr uint32_t kIndexFrom = 32;

  const char* fixedName_ = nullptr;
  char* ownName_ = nullptr;
  char* text_ = nullptr;
  std::unique_ptr<GrowString> buffer_;
  // One block: a table of entryCapacity_ entries, then the bytes of the names
  // and values. A value replaced by a shorter one is written in place, a
  // longer one goes to the end; what it leaves behind is dropped when the
  // block next moves, so replacing values costs in proportion to their size.
  char* attributes_ = nullptr;
  std::unique_ptr<NameIndex> index_;
  uint32_t ownNameLength_ = 0;
  uint32_t textLength_ = 0;
  uint32_t attributeCount_ = 0;
  uint32_t entryCapacity_ = 0;
  uint32_t bytesLength_ = 0;
  uint32_t bytesCapacity_ = 0;
  uint8_t allowed_ = 0;
  uint8_t required_ = 0;
};

}  // namespace rssvane
