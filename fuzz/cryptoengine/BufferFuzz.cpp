// Buffer decryption of any bytes: an EngineError or the exact plaintext,
// never a crash, and a result only when the data authenticates.
#include "FuzzCommon.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (vkfuzz::TooCostly(data, size)) return -1;
  try {
    const vkcrypto::Bytes plain = vkfuzz::SeedEngine().DecryptBuffer(vkcrypto::Bytes(data, data + size));
    if (plain.size() >= size) __builtin_trap();  // every form has overhead
  } catch (const vkcrypto::EngineError&) {
  }
  return 0;
}
