#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace rssvane {

// MD5 of RFC 1321, fed in pieces. Digest authentication needs it as
// lowercase hexadecimal text.
class Md5 {
 public:
  Md5() noexcept { Reset(); }
  void Reset() noexcept;
  void Update(std::string_view bytes) noexcept;
  std::array<uint8_t, 16> Final() noexcept;

  static std::string Hex(std::string_view bytes);

 private:
  void Block(const uint8_t* block) noexcept;

  uint32_t state_[4];
  uint64_t length_;
  uint8_t buffer_[64];
  size_t buffered_;
};

}  // namespace rssvane
