// Loading a store: 8,000 fields written by one engine instance with the
// store key at the default iteration count, decrypted by a fresh instance as
// the application does at start-up. The mark is 0.3 s in all; the naive peer
// derives the key again for every field (8,000 times one measured derivation).
// Also prints one derivation at the default count for each hash choice.
#include <cstdio>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "cryptoengine/CryptoEngine.h"
#include "vk/Version.h"

namespace {

void StoreKey(vkcrypto::CryptoEngine& engine) {
  engine.SetMethod(vkcrypto::Method::kRijndael);
  engine.SetSecretKeyFromPassPhrase(vk::kFileDescription, 256);
  engine.SetHashingMethod(vkcrypto::HashingMethod::kSha2);
  engine.SetHashSize(512);
}

double OneDerivation(vkcrypto::HashingMethod hashing, int bits) {
  vkcrypto::CryptoEngine engine;
  engine.SetSecretKeyFromPassPhrase("a pass phrase", 256);
  engine.SetHashingMethod(hashing);
  engine.SetHashSize(bits);
  const double start = vkbench::Now();
  engine.EncryptBuffer({});
  return vkbench::Now() - start;
}

}  // namespace

int main() {
  constexpr int kFields = 8000;
  vkcrypto::CryptoEngine writer;
  StoreKey(writer);
  std::vector<vkcrypto::Bytes> fields;
  for (int i = 0; i < kFields; ++i) {
    const std::string text = "https://example.com/login/" + std::to_string(i);
    fields.push_back(writer.EncryptBuffer(vkcrypto::Bytes(text.begin(), text.end())));
  }
  std::vector<double> loads;
  for (int round = 0; round < 3; ++round) {
    const double start = vkbench::Now();
    vkcrypto::CryptoEngine reader;
    StoreKey(reader);
    size_t total = 0;
    for (const auto& field : fields) total += reader.DecryptBuffer(field).size();
    loads.push_back(vkbench::Now() - start);
    if (total == 0) return 1;
  }
  const double load = vkbench::Median(loads);
  const double derivation = OneDerivation(vkcrypto::HashingMethod::kSha2, 512);
  std::printf("loading %d fields (one derivation, PBKDF2-SHA-512 x %u): %.3f s (mark 0.300 s), median of 3\n",
              kFields, vkcrypto::CryptoEngine::DefaultIterations(vkcrypto::HashingMethod::kSha2, 512), load);
  std::printf("peer, a derivation per field: %d x %.3f s = %.1f s; ratio %.0fx\n", kFields, derivation,
              kFields * derivation, kFields * derivation / load);
  std::printf("one derivation at the default count:\n");
  for (int bits : {160, 256, 384, 512}) {
    std::printf("  SHA-2 %3d x %7u: %.3f s\n", bits,
                vkcrypto::CryptoEngine::DefaultIterations(vkcrypto::HashingMethod::kSha2, bits),
                OneDerivation(vkcrypto::HashingMethod::kSha2, bits));
  }
  for (int bits : {128, 160, 192, 224, 256}) {
    std::printf("  HAVAL %3d x %7u: %.3f s\n", bits,
                vkcrypto::CryptoEngine::DefaultIterations(vkcrypto::HashingMethod::kHaval, bits),
                OneDerivation(vkcrypto::HashingMethod::kHaval, bits));
  }
  return 0;
}
