#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string_view>
#include <type_traits>
#include <utility>

namespace rssvane {

// Memory handed out in pieces from a few large blocks and given back all at
// once. What a document read puts into the model (its resolved texts, its
// attribute tables) lives here until the feed is reset, so that reading
// costs a handful of allocations rather than one per text.
class Arena {
 public:
  Arena() = default;
  ~Arena();
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;

  // size bytes aligned for any object of the model, or nullptr when memory
  // runs out.
  void* Allocate(size_t size) noexcept;
  // A copy of text that lives until Clear; false when memory runs out.
  bool Copy(std::string_view text, std::string_view& copy) noexcept;
  // text itself when it lies within shared, which lives as long as the
  // arena's copies, else a copy of it.
  bool Keep(std::string_view text, std::string_view shared, std::string_view& kept) noexcept {
    auto at = reinterpret_cast<uintptr_t>(text.data()), from = reinterpret_cast<uintptr_t>(shared.data());
    if (at >= from && at - from <= shared.size() && text.size() <= shared.size() - (at - from)) {
      kept = text;
      return true;
    }
    return Copy(text, kept);
  }
  // Gives back every block.
  void Clear() noexcept;
  // Exchanges the blocks and what is left of the current one with other's.
  void Swap(Arena& other) noexcept {
    std::swap(blocks_, other.blocks_);
    std::swap(at_, other.at_);
    std::swap(end_, other.end_);
    std::swap(held_, other.held_);
  }

 private:
  struct Block {
    Block* next;
    size_t size;
  };

  Block* blocks_ = nullptr;
  char* at_ = nullptr;
  char* end_ = nullptr;
  size_t held_ = 0;
};

// A standard allocator that takes from an arena, or from the heap when it has
// none. What it gives back to an arena stays there until the arena's Clear,
// so a container that grows in one wastes at most what it ends up holding.
template <class T>
struct ArenaAllocator {
  static_assert(alignof(T) <= 8, "an arena aligns to 8 at most");
  using value_type = T;
  // The memory goes with the container that holds it.
  using propagate_on_container_move_assignment = std::true_type;
  using propagate_on_container_swap = std::true_type;

  ArenaAllocator() = default;
  explicit ArenaAllocator(Arena* from) noexcept : arena(from) {}
  template <class U>
  ArenaAllocator(const ArenaAllocator<U>& other) noexcept : arena(other.arena) {}

  T* allocate(size_t n) {
    if (!arena) return std::allocator<T>().allocate(n);
    void* p = n <= SIZE_MAX / sizeof(T) ? arena->Allocate(n * sizeof(T)) : nullptr;
    if (!p) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, size_t n) noexcept {
    if (!arena) std::allocator<T>().deallocate(p, n);
  }
  template <class U>
  bool operator==(const ArenaAllocator<U>& other) const noexcept {
    return arena == other.arena;
  }

  Arena* arena = nullptr;
};

}  // namespace rssvane
