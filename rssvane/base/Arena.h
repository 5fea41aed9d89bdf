#pragma once

#include <cstddef>
#include <string_view>

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
  // Gives back every block.
  void Clear() noexcept;

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
