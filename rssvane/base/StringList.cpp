#include "base/StringList.h"

#include <cstring>

#include "base/Codes.h"

namespace rssvane {

namespace {

constexpr size_t kHeader = 3;

size_t EntryLength(const char* at) noexcept {
  auto b = reinterpret_cast<const unsigned char*>(at);
  return (size_t{b[0]} << 16) | (size_t{b[1]} << 8) | size_t{b[2]};
}

void WriteHeader(char* at, size_t length) noexcept {
  at[0] = static_cast<char>((length >> 16) & 0xFF);
  at[1] = static_cast<char>((length >> 8) & 0xFF);
  at[2] = static_cast<char>(length & 0xFF);
}

}  // namespace

size_t StringList::OffsetOf(size_t index) const noexcept {
  const char* base = packed_.CStr();
  size_t offset = 0;
  for (size_t i = 0; i < index; ++i) offset += kHeader + EntryLength(base + offset) + 1;
  return offset;
}

std::string_view StringList::Get(size_t index) const noexcept {
  if (index >= count_) return {};
  size_t offset = OffsetOf(index);
  const char* at = packed_.CStr() + offset;
  return {at + kHeader, EntryLength(at)};
}

std::string_view StringList::Next(size_t& offset) const noexcept {
  if (offset >= packed_.Length()) return {};
  const char* at = packed_.CStr() + offset;
  size_t length = EntryLength(at);
  offset += kHeader + length + 1;
  return {at + kHeader, length};
}

int StringList::Set(size_t index, std::string_view value) noexcept {
  if (index >= count_ || value.size() > kMaxEntry) return kErrStringList;
  size_t offset = OffsetOf(index);
  size_t oldLength = EntryLength(packed_.CStr() + offset);
  size_t oldEnd = offset + kHeader + oldLength + 1;
  size_t total = packed_.Length();
  size_t newTotal = total - oldLength + value.size();
  if (newTotal > total) {
    if (int rc = packed_.Resize(newTotal)) return rc;
  }
  char* base = packed_.Data();
  size_t newEnd = offset + kHeader + value.size() + 1;
  std::memmove(base + newEnd, base + oldEnd, total - oldEnd);
  WriteHeader(base + offset, value.size());
  if (!value.empty()) std::memcpy(base + offset + kHeader, value.data(), value.size());
  base[offset + kHeader + value.size()] = '\0';
  packed_.Truncate(newTotal);
  return 0;
}

int StringList::Append(std::string_view value) noexcept {
  if (value.size() > kMaxEntry) return kErrStringList;
  size_t offset = packed_.Length();
  if (int rc = packed_.Resize(offset + kHeader + value.size() + 1)) return rc;
  char* at = packed_.Data() + offset;
  WriteHeader(at, value.size());
  if (!value.empty()) std::memcpy(at + kHeader, value.data(), value.size());
  at[kHeader + value.size()] = '\0';
  ++count_;
  return 0;
}

int StringList::Resize(size_t count) noexcept {
  if (count <= count_) {
    packed_.Truncate(OffsetOf(count));
    count_ = count;
    return 0;
  }
  size_t offset = packed_.Length();
  // Empty entries are four zero bytes each, which Resize writes for us.
  if (int rc = packed_.Resize(offset + (count - count_) * (kHeader + 1))) return rc;
  count_ = count;
  return 0;
}

long StringList::Find(std::string_view value) const noexcept {
  const char* base = packed_.CStr();
  size_t offset = 0;
  for (size_t i = 0; i < count_; ++i) {
    size_t length = EntryLength(base + offset);
    if (std::string_view(base + offset + kHeader, length) == value) return static_cast<long>(i);
    offset += kHeader + length + 1;
  }
  return -1;
}

void StringList::Clear() noexcept {
  packed_.Clear();
  count_ = 0;
}

}  // namespace rssvane
