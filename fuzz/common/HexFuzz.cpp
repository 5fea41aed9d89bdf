// HexToBytes reads whatever text a user pastes or a damaged store holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/Hex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  vk::Bytes bytes = vk::HexToBytes(text);
  if (bytes.size() != (size + 1) / 2) std::abort();
  // Whatever was read, writing it back and reading again is stable.
  if (vk::HexToBytes(vk::BytesToHex(bytes)) != bytes) std::abort();
  return 0;
}
