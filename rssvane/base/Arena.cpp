#include "base/Arena.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace rssvane {

namespace {

constexpr size_t kAlign = alignof(std::max_align_t) < 8 ? alignof(std::max_align_t) : 8;
// Blocks grow with what the arena holds, up to a size that keeps the last
// block's unused tail small beside a large document.
constexpr size_t kFirstBlock = 16 << 10;
constexpr size_t kLargestBlock = 1 << 20;

}  // namespace

Arena::~Arena() { Clear(); }

void* Arena::Allocate(size_t size) noexcept {
  size_t pad = static_cast<size_t>(-reinterpret_cast<uintptr_t>(at_)) & (kAlign - 1);
  if (at_ && size <= static_cast<size_t>(end_ - at_) && pad <= static_cast<size_t>(end_ - at_) - size) {
    char* out = at_ + pad;
    at_ = out + size;
    return out;
  }
  size_t wanted = held_ < kFirstBlock ? kFirstBlock : held_ < kLargestBlock ? held_ : kLargestBlock;
  size_t header = (sizeof(Block) + kAlign - 1) & ~(kAlign - 1);
  if (size > wanted - header) wanted = header + size;
  auto* block = static_cast<Block*>(std::malloc(wanted));
  if (!block) return nullptr;
  block->next = blocks_;
  block->size = wanted;
  blocks_ = block;
  held_ += wanted;
  char* out = reinterpret_cast<char*>(block) + header;
  at_ = out + size;
  end_ = reinterpret_cast<char*>(block) + wanted;
  return out;
}

bool Arena::Copy(std::string_view text, std::string_view& copy) noexcept {
  copy = {};
  if (text.empty()) return true;
  // Texts need no alignment: take bytes straight from the current block.
  char* out;
  if (at_ && text.size() <= static_cast<size_t>(end_ - at_)) {
    out = at_;
    at_ += text.size();
  } else {
    out = static_cast<char*>(Allocate(text.size()));
    if (!out) return false;
  }
  std::memcpy(out, text.data(), text.size());
  copy = std::string_view(out, text.size());
  return true;
}

void Arena::Clear() noexcept {
  while (blocks_) {
    Block* next = blocks_->next;
    std::free(blocks_);
    blocks_ = next;
  }
  at_ = end_ = nullptr;
  held_ = 0;
}

}  // namespace rssvane
