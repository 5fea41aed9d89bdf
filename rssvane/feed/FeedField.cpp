#include "feed/FeedField.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "base/Codes.h"

namespace rssvane {

namespace {

uint32_t ReadLength(const char* at) noexcept {
  uint32_t length;
  std::memcpy(&length, at, 4);
  return length;
}

char* WriteEntry(char* at, std::string_view text) noexcept {
  uint32_t length = static_cast<uint32_t>(text.size());
  std::memcpy(at, &length, 4);
  if (!text.empty()) std::memcpy(at + 4, text.data(), text.size());
  return at + 4 + text.size();
}

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

size_t FeedField::AttributeOffset(size_t i) const noexcept {
  size_t at = 0;
  size_t n = 0;
  if (cursorIndex_ <= i) {
    n = cursorIndex_;
    at = cursorOffset_;
  }
  for (; n < i; ++n) {
    at += 4 + ReadLength(attributes_ + at);
    at += 4 + ReadLength(attributes_ + at);
  }
  cursorIndex_ = static_cast<uint32_t>(i);
  cursorOffset_ = static_cast<uint32_t>(at);
  return at;
}

std::string_view FeedField::AttributeName(size_t i) const noexcept {
  if (i >= attributeCount_) return {};
  size_t at = AttributeOffset(i);
  return std::string_view(attributes_ + at + 4, ReadLength(attributes_ + at));
}

std::string_view FeedField::AttributeValue(size_t i) const noexcept {
  if (i >= attributeCount_) return {};
  size_t at = AttributeOffset(i);
  at += 4 + ReadLength(attributes_ + at);
  return std::string_view(attributes_ + at + 4, ReadLength(attributes_ + at));
}

long FeedField::FindAttribute(std::string_view name) const noexcept {
  if (index_) {
    auto found = index_->find(name);
    return found == index_->end() ? -1 : static_cast<long>(found->second);
  }
  size_t at = 0;
  for (uint32_t i = 0; i < attributeCount_; ++i) {
    uint32_t nameLength = ReadLength(attributes_ + at);
    if (std::string_view(attributes_ + at + 4, nameLength) == name) return static_cast<long>(at);
    at += 4 + nameLength;
    at += 4 + ReadLength(attributes_ + at);
  }
  return -1;
}

void FeedField::BuildIndex() noexcept {
  index_.reset();
  if (attributeCount_ < kIndexFrom) return;
  try {
    auto index = std::make_unique<Index>();
    index->reserve(attributeCount_ * 2);
    size_t at = 0;
    for (uint32_t i = 0; i < attributeCount_; ++i) {
      uint32_t nameLength = ReadLength(attributes_ + at);
      // The first of equal names wins, as in the scan.
      index->emplace(std::string_view(attributes_ + at + 4, nameLength), static_cast<uint32_t>(at));
      at += 4 + nameLength;
      at += 4 + ReadLength(attributes_ + at);
    }
    index_ = std::move(index);
  } catch (const std::bad_alloc&) {
    // Without an index the field is searched from the start: slower, not wrong.
  }
}

std::string_view FeedField::Attribute(std::string_view name) const noexcept {
  long found = FindAttribute(name);
  if (found < 0) return {};
  size_t at = static_cast<size_t>(found);
  at += 4 + ReadLength(attributes_ + at);
  return std::string_view(attributes_ + at + 4, ReadLength(attributes_ + at));
}

int FeedField::SetAttribute(std::string_view name, std::string_view value) noexcept {
  if (name.size() > kMaxText || value.size() > kMaxText) return kErrOutOfMemory;
  long found = FindAttribute(name);
  if (found >= 0) {
    size_t at = static_cast<size_t>(found);
    at += 4 + ReadLength(attributes_ + at);
    uint32_t oldLength = ReadLength(attributes_ + at);
    if (oldLength == value.size()) {
      if (!value.empty()) std::memmove(attributes_ + at + 4, value.data(), value.size());
      return 0;
    }
    // A value of another length: the block is written anew, before the old
    // one goes, since value may point into it.
    size_t length = attributesLength_ - oldLength + value.size();
    if (length > kMaxText) return kErrOutOfMemory;
    char* fresh = static_cast<char*>(std::malloc(length));
    if (!fresh) return kErrOutOfMemory;
    std::memcpy(fresh, attributes_, at);
    char* out = WriteEntry(fresh + at, value);
    size_t rest = at + 4 + oldLength;
    std::memcpy(out, attributes_ + rest, attributesLength_ - rest);
    std::free(attributes_);
    attributes_ = fresh;
    attributesLength_ = attributesCapacity_ = static_cast<uint32_t>(length);
    cursorIndex_ = cursorOffset_ = 0;
    BuildIndex();
    return 0;
  }
  size_t length = attributesLength_ + 8 + name.size() + value.size();
  if (length > kMaxText) return kErrOutOfMemory;
  bool moved = false;
  char* old = nullptr;
  if (length > attributesCapacity_) {
    // Most fields hold one or two attributes: exact size first, then room
    // to grow for fields that keep collecting.
    size_t capacity = attributeCount_ < 2 ? length : length + length / 2;
    if (capacity > kMaxText) capacity = length;
    char* fresh = static_cast<char*>(std::malloc(capacity));
    if (!fresh) return kErrOutOfMemory;
    if (attributesLength_) std::memcpy(fresh, attributes_, attributesLength_);
    old = attributes_;
    attributes_ = fresh;
    attributesCapacity_ = static_cast<uint32_t>(capacity);
    moved = true;
  }
  // name and value may still point into the old block, freed only now.
  size_t at = attributesLength_;
  char* out = WriteEntry(attributes_ + at, name);
  WriteEntry(out, value);
  std::free(old);
  attributesLength_ = static_cast<uint32_t>(length);
  ++attributeCount_;
  if (moved || (!index_ && attributeCount_ >= kIndexFrom)) {
    BuildIndex();
  } else if (index_) {
    try {
      index_->emplace(std::string_view(attributes_ + at + 4, name.size()), static_cast<uint32_t>(at));
    } catch (const std::bad_alloc&) {
      index_.reset();
    }
  }
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
  cursorIndex_ = cursorOffset_ = 0;
  attributesLength_ = attributesCapacity_ = 0;
  attributeCount_ = 0;
}

}  // namespace rssvane
