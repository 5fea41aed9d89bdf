#pragma once

// The store key on an engine instance of its own: Rijndael keyed from the
// program's file description at 256 bits, then SHA-2 with a 512-bit hash,
// in that order. The history view's instance also serves settings.dat.

#include "cryptoengine/CryptoEngine.h"
#include "settings/StoreCipher.h"

namespace vk {

class StoreEngine : public StoreCipher {
 public:
  StoreEngine();
  Bytes Encrypt(const Bytes& plain) override;
  Bytes Decrypt(const Bytes& sealed) override;
  void WriteBufferToFile(const Bytes& plain, const std::string& path) override;
  Bytes ReadBufferFromFile(const std::string& path) override;

 private:
  vkcrypto::CryptoEngine engine_;
};

}  // namespace vk
