#pragma once

// Bytes that must not outlive their use: passwords, keys, clear text. They
// are wiped when freed, and when they outgrow their buffer the old one is
// wiped as the content moves, so no copy stays behind in freed memory.

#include <cryptopp/secblock.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vkcrypt {

class Secret {
 public:
  // Room for capacity bytes: what never grows beyond it is never moved.
  explicit Secret(size_t capacity = 0) : bytes_(capacity) {}

  // At least `room` writable bytes after the content, for Extend to take.
  uint8_t* Tail(size_t room);
  void Extend(size_t count) { size_ += count; }
  void Append(std::string_view text);
  void Truncate(size_t size) {
    if (size < size_) size_ = size;
  }

  size_t Size() const { return size_; }
  bool Empty() const { return size_ == 0; }
  std::string_view View() const { return {reinterpret_cast<const char*>(bytes_.data()), size_}; }

 private:
  CryptoPP::SecByteBlock bytes_;
  size_t size_ = 0;
};

}  // namespace vkcrypt
