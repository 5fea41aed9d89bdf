// The whole family of replaceable allocation functions, over malloc and
// free, so that allocations and releases always pair up (the sanitizers
// check that they do).
#include "FailingAllocation.h"

#include <cstdlib>
#include <limits>
#include <new>

namespace {

thread_local size_t failFrom = std::numeric_limits<size_t>::max();

void* Allocate(size_t size) noexcept {
  if (size >= failFrom) return nullptr;
  return std::malloc(size ? size : 1);
}

void* AllocateOrThrow(size_t size) {
  void* p = Allocate(size);
  if (!p) throw std::bad_alloc();
  return p;
}

}  // namespace

namespace rssvane::test {

FailLargeAllocations::FailLargeAllocations(size_t bytes) noexcept : previous_(failFrom) { failFrom = bytes; }
FailLargeAllocations::~FailLargeAllocations() { failFrom = previous_; }

}  // namespace rssvane::test

void* operator new(size_t size) { return AllocateOrThrow(size); }
void* operator new[](size_t size) { return AllocateOrThrow(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
