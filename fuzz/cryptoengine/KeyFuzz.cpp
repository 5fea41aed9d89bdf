// Key parsing: any bytes are refused with an EngineError or load as a key
// whose bytes read back as they were given.
#include "FuzzCommon.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return -1;  // beyond the largest key offered
  const vkcrypto::Bytes der(data, data + size);
  vkcrypto::CryptoEngine engine;
  try {
    engine.SetPublicKey(der);
    vkcrypto::CryptoEngine again;
    again.SetPublicKey(engine.PublicKey());
  } catch (const vkcrypto::EngineError&) {
  }
  try {
    engine.SetPrivateKey(der);
    vkcrypto::CryptoEngine again;
    again.SetPrivateKey(engine.PrivateKey());
    if (again.PublicKey() != engine.PublicKey()) __builtin_trap();
  } catch (const vkcrypto::EngineError&) {
  }
  return 0;
}
