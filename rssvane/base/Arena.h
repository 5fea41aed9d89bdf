#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
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

}  // namespace rssvane
