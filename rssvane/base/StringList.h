#pragma once

#include <cstddef>
#include <string_view>

#include "base/GrowString.h"

namespace rssvane {

// A list of narrow strings packed into one GrowString: each entry is a 3-byte
// big-endian length, its bytes and a zero byte. Attribute lists and namespace
// lists are short, so walking the entries beats one allocation per entry.
// Positions count from 0.
class StringList {
 public:
  static constexpr size_t kMaxEntry = 0xFFFFFF;

  size_t Count() const noexcept { return count_; }
  // Empty text for a position past the end.
  std::string_view Get(size_t index) const noexcept;
  // kErrStringList (432) for a position past the end or an entry too long.
  int Set(size_t index, std::string_view value) noexcept;
  int Append(std::string_view value) noexcept;
  // Pads with empty entries or cuts the tail.
  int Resize(size_t count) noexcept;
  // The entry at offset (0 for the first), moving offset on to the next, so
  // that walking a long list in order does not count from its start for
  // every entry. Call it at most Count() times from offset 0.
  std::string_view Next(size_t& offset) const noexcept;
  // Position of the first entry equal to value, or -1.
  long Find(std::string_view value) const noexcept;
  void Clear() noexcept;

 private:
  size_t OffsetOf(size_t index) const noexcept;

  GrowString packed_;
  size_t count_ = 0;
};

}  // namespace rssvane
