#pragma once

#include <cstddef>

namespace rssvane::test {

// While one lives, every allocation of at least `bytes` made through the
// allocation functions on this thread fails, as it does when memory runs out.
class FailLargeAllocations {
 public:
  explicit FailLargeAllocations(size_t bytes) noexcept;
  ~FailLargeAllocations();
  FailLargeAllocations(const FailLargeAllocations&) = delete;
  FailLargeAllocations& operator=(const FailLargeAllocations&) = delete;

 private:
  size_t previous_;
};

}  // namespace rssvane::test
