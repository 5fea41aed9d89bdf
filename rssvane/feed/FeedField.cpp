#include "feed/FeedField.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "base/Codes.h"

namespace rssvane {

namespace {

// A block of exactly text.size() bytes holding text, or nullptr for empty text.
bool CopyOf(std::string_view text, char*& out) noexcept {
  out = nullptr;
  if (text.empty()) return true;
  out = static_cast<char*>(std::malloc(text.size()));
  if (!out) return false;
  std::memcpy(out, text.data(), text.size());
  return true;
}

constexpr size_t kMaxText = std::numeric_limits<uint32_t>::max() - 8;

}  // namespace

FeedField::~FeedField() {
  std::free(ownName_);
  std::free(text_);
  std::free(attributes_);
}

void FeedField::InitFixed(const char* name, uint8_t allowed, uint8_t required) noexcept {
  fixedName_ = name;
  allowed_ = allowed;
  required_ = required;
}

int FeedField::InitExtra(std::string_view name) noexcept {
  char* copy;
  if (name.size() > kMaxText || !CopyOf(name, copy)) return kErrListMemory;
  std::free(ownName_);
  ownName_ = copy;
  ownNameLength_ = static_cast<uint32_t>(name.size());
  fixedName_ = nullptr;
  allowed_ = required_ = 0;
  return 0;
}

int FeedField::SetText(std::string_view text) noexcept {
  if (buffer_) return buffer_->Assign(text);
  if (text.size() > kMaxText) return kErrOutOfMemory;
  // The new text may be a part of the old one: copy before freeing.
  char* copy;
  if (!CopyOf(text, copy)) return kErrOutOfMemory;
  std::free(text_);
  text_ = copy;
  textLength_ = static_cast<uint32_t>(text.size());
  return 0;
}

GrowString& FeedField::TextBuffer() noexcept {
  if (!buffer_) {
    // Failing to make this small object is failing to run at all.
    buffer_.reset(new GrowString);
    if (buffer_->Assign(std::string_view(text_, textLength_)) == 0) {
      std::free(text_);
      text_ = nullptr;
      textLength_ = 0;
    }
  }
  return *buffer_;
}

std::string_view FeedField::AttributeName(size_t i) const noexcept {
  if (i >= attributeCount_) return {};
  const AttributeEntry& e = Entries()[i];
  return std::string_view(Bytes() + e.nameOffset, e.nameLength);
}

std::string_view FeedField::AttributeValue(size_t i) const noexcept {
  if (i >= attributeCount_) return {};
  const AttributeEntry& e = Entries()[i];
  return std::string_view(Bytes() + e.valueOffset, e.valueLength);
}

long FeedField::FindAttribute(std::string_view name) const noexcept {
  if (index_) return index_->Find(name, [this](uint32_t i) { return AttributeName(i); });
  const AttributeEntry* entries = Entries();
  const char* bytes = Bytes();
  for (uint32_t i = 0; i < attributeCount_; ++i) {
    if (entries[i].nameLength == name.size() && std::string_view(bytes + entries[i].nameOffset, name.size()) == name) {
      return static_cast<long>(i);
    }
  }
  return -1;
}

std::string_view FeedField::Attribute(std::string_view name) const noexcept {
  long found = FindAttribute(name);
  return found < 0 ? std::string_view() : AttributeValue(static_cast<size_t>(found));
}

int FeedField::MakeRoom(size_t entries, size_t bytes, char*& old) noexcept {
  old = nullptr;
  if (entries <= entryCapacity_ && bytes <= bytesCapacity_ - bytesLength_) return 0;
  size_t live = bytes;
  const AttributeEntry* from = Entries();
  for (uint32_t i = 0; i < attributeCount_; ++i) live += from[i].nameLength + from[i].valueLength;
  // Most fields hold one or two attributes: exact sizes first, then room to
  // grow for fields that keep collecting.
  size_t entryCapacity = entries <= entryCapacity_ ? entryCapacity_ : entries <= 2 ? entries : entries + entries / 2;
  size_t bytesCapacity = entries <= 2 ? live : live + live / 2;
  if (live > kMaxText) return kErrOutOfMemory;
  if (bytesCapacity > kMaxText) bytesCapacity = live;
  char* fresh = static_cast<char*>(std::malloc(entryCapacity * sizeof(AttributeEntry) + bytesCapacity));
  if (!fresh) return kErrOutOfMemory;
  auto* to = reinterpret_cast<AttributeEntry*>(fresh);
  char* out = fresh + entryCapacity * sizeof(AttributeEntry);
  const char* in = Bytes();
  uint32_t at = 0;
  for (uint32_t i = 0; i < attributeCount_; ++i) {
    const AttributeEntry& e = from[i];
    std::memcpy(out + at, in + e.nameOffset, e.nameLength);
    std::memcpy(out + at + e.nameLength, in + e.valueOffset, e.valueLength);
    to[i] = {at, e.nameLength, at + e.nameLength, e.valueLength};
    at += e.nameLength + e.valueLength;
  }
  old = attributes_;
  attributes_ = fresh;
  entryCapacity_ = static_cast<uint32_t>(entryCapacity);
  bytesLength_ = at;
  bytesCapacity_ = static_cast<uint32_t>(bytesCapacity);
  return 0;
}

int FeedField::SetAttribute(std::string_view name, std::string_view value) noexcept {
  if (name.size() > kMaxText || value.size() > kMaxText) return kErrOutOfMemory;
  long found = FindAttribute(name);
  if (found >= 0) {
    AttributeEntry* e = &Entries()[found];
    if (value.size() <= e->valueLength) {
      // value may be a part of this very block.
      if (!value.empty()) std::memmove(Bytes() + e->valueOffset, value.data(), value.size());
      e->valueLength = static_cast<uint32_t>(value.size());
      return 0;
    }
    char* old;
    if (int rc = MakeRoom(attributeCount_, value.size(), old)) return rc;
    e = &Entries()[found];
    std::memcpy(Bytes() + bytesLength_, value.data(), value.size());
    e->valueOffset = bytesLength_;
    e->valueLength = static_cast<uint32_t>(value.size());
    bytesLength_ += static_cast<uint32_t>(value.size());
    std::free(old);
    return 0;
  }
  if (attributeCount_ == std::numeric_limits<uint32_t>::max()) return kErrOutOfMemory;
  char* old;
  if (int rc = MakeRoom(size_t{attributeCount_} + 1, name.size() + value.size(), old)) return rc;
  // name and value may still point into the old block, freed only now.
  char* bytes = Bytes();
  uint32_t at = bytesLength_;
  if (!name.empty()) std::memcpy(bytes + at, name.data(), name.size());
  if (!value.empty()) std::memcpy(bytes + at + name.size(), value.data(), value.size());
  std::free(old);
  uint32_t nameLength = static_cast<uint32_t>(name.size());
  Entries()[attributeCount_] = {at, nameLength, at + nameLength, static_cast<uint32_t>(value.size())};
  bytesLength_ = at + nameLength + static_cast<uint32_t>(value.size());
  ++attributeCount_;
  IndexAppendedName(index_, attributeCount_, kIndexFrom, [this](uint32_t i) { return AttributeName(i); });
  return 0;
}

void FeedField::Clear() noexcept {
  std::free(text_);
  text_ = nullptr;
  textLength_ = 0;
  buffer_.reset();
  std::free(attributes_);
  attributes_ = nullptr;
  index_.reset();
  attributeCount_ = entryCapacity_ = bytesLength_ = bytesCapacity_ = 0;
}

}  // namespace rssvane
