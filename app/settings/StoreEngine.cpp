#include "settings/StoreEngine.h"

#include "vk/Version.h"

namespace vk {

StoreEngine::StoreEngine() {
  engine_.SetMethod(vkcrypto::Method::kRijndael);
  engine_.SetSecretKeyFromPassPhrase(kFileDescription, 256);
  engine_.SetHashingMethod(vkcrypto::HashingMethod::kSha2);
  engine_.SetHashSize(512);
}

Bytes StoreEngine::Encrypt(const Bytes& plain) { return engine_.EncryptBuffer(plain); }

Bytes StoreEngine::Decrypt(const Bytes& sealed) { return engine_.DecryptBuffer(sealed); }

void StoreEngine::WriteBufferToFile(const Bytes& plain, const std::string& path) {
  engine_.WriteBufferToFile(plain, path);
}

Bytes StoreEngine::ReadBufferFromFile(const std::string& path) { return engine_.ReadBufferFromFile(path); }

}  // namespace vk
