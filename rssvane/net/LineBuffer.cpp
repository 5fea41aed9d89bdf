#include "net/LineBuffer.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/Codes.h"

namespace rssvane {

int LineBuffer::SetCapacity(size_t capacity) noexcept {
  capacity = std::clamp<size_t>(capacity, 1, kMaxCapacity);
  char* data = new (std::nothrow) char[capacity];
  if (!data) return kErrOutOfMemory;
  data_.reset(data);
  capacity_ = capacity;
  Clear();
  return 0;
}

void LineBuffer::SetTerminator(std::string_view terminator) {
  terminator_ = terminator;
  searched_ = 0;
}

void LineBuffer::Clear() noexcept {
  start_ = 0;
  count_ = 0;
  searched_ = 0;
}

bool LineBuffer::TakeLine(std::string_view& line) noexcept {
  if (count_ == 0) return false;
  if (terminator_.empty()) {
    line = TakeAll();
    return true;
  }
  std::string_view buffered(data_.get() + start_, count_);
  size_t at = buffered.find(terminator_, searched_);
  if (at == std::string_view::npos) {
    // Only a terminator that starts in the last few bytes can still be
    // completed by what comes next: long lines are not searched again.
    searched_ = count_ >= terminator_.size() ? count_ - terminator_.size() + 1 : 0;
    return false;
  }
  line = buffered.substr(0, at);
  size_t used = at + terminator_.size();
  start_ += used;
  count_ -= used;
  searched_ = 0;
  return true;
}

std::string_view LineBuffer::TakeAll() noexcept {
  std::string_view all(data_.get() + start_, count_);
  Clear();
  return all;
}

std::span<char> LineBuffer::FreeSpace() noexcept {
  if (start_ > 0 && start_ + count_ == capacity_) {
    std::memmove(data_.get(), data_.get() + start_, count_);
    start_ = 0;
  }
  return {data_.get() + start_ + count_, capacity_ - start_ - count_};
}

void LineBuffer::Commit(size_t n) noexcept { count_ += std::min(n, capacity_ - start_ - count_); }

bool LineBuffer::Append(std::string_view bytes) noexcept {
  if (bytes.size() > capacity_ - count_) return false;
  if (start_ + count_ + bytes.size() > capacity_) {
    // The bytes may lie in the free space, always beyond where the
    // buffered bytes move to.
    std::memmove(data_.get(), data_.get() + start_, count_);
    start_ = 0;
  }
  if (!bytes.empty()) std::memmove(data_.get() + start_ + count_, bytes.data(), bytes.size());
  count_ += bytes.size();
  return true;
}

}  // namespace rssvane
