#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <new>

#include "base/Codes.h"

namespace rssvane {

// An ordered list of owned objects (items, extra fields). The list holds
// pointers in a double-ended array, so inserting at the front or the back
// moves no objects and costs constant time, and access by position stays
// constant. Positions count from 0. A position outside the list or a negative
// size is kErrListPosition (228); an allocation failure is kErrListMemory (229).
// Deleter gives back an object the list lets go of.
template <class T, class Deleter = std::default_delete<T>>
class OwnedList {
 public:
  using Owned = std::unique_ptr<T, Deleter>;

  size_t Count() const noexcept { return entries_.size(); }
  T* At(size_t pos) const noexcept { return pos < entries_.size() ? entries_[pos].get() : nullptr; }

  int Insert(size_t pos, Owned entry) noexcept {
    if (pos > entries_.size()) return kErrListPosition;
    try {
      if (pos == 0) {
        entries_.push_front(std::move(entry));
      } else if (pos == entries_.size()) {
        entries_.push_back(std::move(entry));
      } else {
        entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(pos), std::move(entry));
      }
    } catch (const std::bad_alloc&) {
      return kErrListMemory;
    }
    return 0;
  }

  int Append(Owned entry) noexcept { return Insert(entries_.size(), std::move(entry)); }

  int Remove(size_t pos) noexcept {
    if (pos >= entries_.size()) return kErrListPosition;
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(pos));
    return 0;
  }

  // Cuts the tail or appends objects made by make() until there are count.
  template <class Make>
  int Resize(long long count, Make make) noexcept {
    if (count < 0) return kErrListPosition;
    size_t wanted = static_cast<size_t>(count);
    if (wanted <= entries_.size()) {
      entries_.resize(wanted);
      return 0;
    }
    try {
      while (entries_.size() < wanted) entries_.push_back(make());
    } catch (const std::bad_alloc&) {
      return kErrListMemory;
    }
    return 0;
  }

  ~OwnedList() { Clear(); }
  OwnedList() = default;
  OwnedList(OwnedList&&) = default;
  OwnedList& operator=(OwnedList&&) = default;

  // Letting go of many objects waits mostly on fetching each one: the object
  // a few places ahead is asked for while this one goes.
  void Clear() noexcept {
    constexpr size_t kAhead = 4;
    size_t count = entries_.size();
    for (size_t i = 0; i < count; ++i) {
      if (i + kAhead < count) __builtin_prefetch(entries_[i + kAhead].get());
      entries_[i].reset();
    }
    entries_.clear();
  }

  // Moving a deque may allocate; swapping one never does.
  friend void swap(OwnedList& a, OwnedList& b) noexcept { a.entries_.swap(b.entries_); }

 private:
  std::deque<Owned> entries_;
};

}  // namespace rssvane
