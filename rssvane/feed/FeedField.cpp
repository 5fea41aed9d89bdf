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
  for (size_t n = 0; n < i; ++n) {
    at += 4 + ReadLength(attributes_ + at);
    at += 4 + ReadLength(attributes_ + at);
  }
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
  size_t at = 0;
  for (uint32_t i = 0; i < attributeCount_; ++i) {
    uint32_t nameLength = ReadLength(attributes_ + at);
    if (std::string_view(attributes_ + at + 4, nameLength) == name) return static_cast<long>(i);
    at += 4 + nameLength;
    at += 4 + ReadLength(attributes_ + at);
  }
  return -1;
}

std::string_view FeedField::Attribute(std::string_view name) const noexcept {
  long at = FindAttribute(name);
  return at < 0 ? std::string_view() : AttributeValue(static_cast<size_t>(at));
}

int FeedField::SetAttribute(std::string_view name, std::string_view value) noexcept {
  long found = FindAttribute(name);
  size_t oldValue = found < 0 ? 0 : AttributeValue(static_cast<size_t>(found)).size();
  size_t length = attributesLength_ - oldValue + value.size() + (found < 0 ? 8 + name.size() : 0);
  if (name.size() > kMaxText || value.size() > kMaxText || length > kMaxText) return kErrOutOfMemory;
  // A new block, filled before the old one goes: name and value may point into it.
  char* fresh = static_cast<char*>(std::malloc(length));
  if (!fresh) return kErrOutOfMemory;
  char* out = fresh;
  size_t at = 0;
  for (uint32_t i = 0; i < attributeCount_; ++i) {
    std::string_view entryName(attributes_ + at + 4, ReadLength(attributes_ + at));
    at += 4 + entryName.size();
    std::string_view entryValue(attributes_ + at + 4, ReadLength(attributes_ + at));
    at += 4 + entryValue.size();
    out = WriteEntry(out, entryName);
    out = WriteEntry(out, static_cast<long>(i) == found ? value : entryValue);
  }
  if (found < 0) {
    out = WriteEntry(out, name);
    WriteEntry(out, value);
    ++attributeCount_;
  }
  std::free(attributes_);
  attributes_ = fresh;
  attributesLength_ = static_cast<uint32_t>(length);
  return 0;
}

void FeedField::Clear() noexcept {
  std::free(text_);
  text_ = nullptr;
  textLength_ = 0;
  buffer_.reset();
  std::free(attributes_);
  attributes_ = nullptr;
  attributesLength_ = 0;
  attributeCount_ = 0;
}

}  // namespace rssvane
