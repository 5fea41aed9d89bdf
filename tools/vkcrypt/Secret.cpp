#include "Secret.h"

#include <algorithm>
#include <cstring>

namespace vkcrypt {

uint8_t* Secret::Tail(size_t room) {
  if (bytes_.size() - size_ < room) bytes_.Grow(std::max(2 * bytes_.size(), size_ + room));
  return bytes_.data() + size_;
}

void Secret::Append(std::string_view text) {
  if (text.empty()) return;
  std::memcpy(Tail(text.size()), text.data(), text.size());
  Extend(text.size());
}

}  // namespace vkcrypt
