#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string_view>

#include "base/Codes.h"

namespace rssvane {

// A hash of name under a key drawn at random once per process (SipHash-1-3),
// so that a document cannot choose names that all land in one bucket.
uint64_t KeyedNameHash(std::string_view name) noexcept;

// An index from names to positions (0, 1, 2, ...) of a list that keeps the
// names itself: the caller passes nameOf(position), which gives the name at
// a position. Open addressing over slots that keep each name's hash, so that
// growing never reads a name again and a probe compares names only when
// their hashes agree.
class NameIndex {
 public:
  NameIndex() = default;
  ~NameIndex();
  NameIndex(const NameIndex&) = delete;
  NameIndex& operator=(const NameIndex&) = delete;

  // The position added under name, or -1.
  template <class NameOf>
  long Find(std::string_view name, const NameOf& nameOf) const noexcept {
    if (count_ == 0) return -1;
    uint64_t hash = KeyedNameHash(name);
    uint32_t tag = static_cast<uint32_t>(hash);
    for (size_t i = static_cast<size_t>(hash >> 32) & mask_;; i = (i + 1) & mask_) {
      const Slot& slot = slots_[i];
      if (slot.position == 0) return -1;
      if (slot.tag == tag && nameOf(slot.position - 1) == name) return static_cast<long>(slot.position - 1);
    }
  }

  // Adds position under name; a name already present keeps its first
  // position, as a scan from the start would find it. kErrOutOfMemory when
  // the index cannot grow (it is then unchanged).
  template <class NameOf>
  int Add(std::string_view name, uint32_t position, const NameOf& nameOf) noexcept {
    if (!slots_ || (count_ + 1) * 4 > (mask_ + 1) * 3) {
      if (int rc = Grow()) return rc;
    }
    uint64_t hash = KeyedNameHash(name);
    uint32_t tag = static_cast<uint32_t>(hash);
    size_t i = static_cast<size_t>(hash >> 32) & mask_;
    for (; slots_[i].position != 0; i = (i + 1) & mask_) {
      if (slots_[i].tag == tag && nameOf(slots_[i].position - 1) == name) return 0;
    }
    slots_[i] = {tag, static_cast<uint32_t>(hash >> 32), position + 1};
    ++count_;
    return 0;
  }

  size_t Count() const noexcept { return count_; }
  void Clear() noexcept;

 private:
  struct Slot {
    uint32_t tag;       // the low half of the name's hash
    uint32_t home;      // the high half, which picks the first slot to try
    uint32_t position;  // position + 1; 0 marks an empty slot
  };
  int Grow() noexcept;

  Slot* slots_ = nullptr;
  size_t mask_ = 0;
  size_t count_ = 0;
};

// Keeps an optional index of a growing list up to date once the last of its
// count names was appended: small lists go without one (a scan is quicker),
// a list that reaches from names gets one. When memory runs out the index is
// dropped and the list is searched from its start: slower, not wrong.
template <class NameOf>
void IndexAppendedName(std::unique_ptr<NameIndex>& index, size_t count, size_t from, const NameOf& nameOf) noexcept {
  uint32_t last = static_cast<uint32_t>(count - 1);
  if (index) {
    if (index->Add(nameOf(last), last, nameOf)) index.reset();
    return;
  }
  if (count < from) return;
  index.reset(new (std::nothrow) NameIndex);
  for (uint32_t i = 0; index && i <= last; ++i) {
    if (index->Add(nameOf(i), i, nameOf)) index.reset();
  }
}

}  // namespace rssvane
