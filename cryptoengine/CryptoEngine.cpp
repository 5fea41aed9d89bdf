#include "cryptoengine/CryptoEngine.h"

#include <cryptopp/misc.h>
#include <cryptopp/osrng.h>
#include <cryptopp/secblock.h>

#include <array>
#include <charconv>
#include <map>
#include <optional>

#include "cryptoengine/Format.h"
#include "cryptoengine/Kdf.h"
#include "cryptoengine/Rsa.h"
#include "cryptoengine/SafeFile.h"

namespace vkcrypto {
namespace {

using detail::PasswordHeader;

constexpr uint32_t kVerifierIterations = 600'000;
constexpr uint32_t kMaxVerifierIterations = 10'000'000;
constexpr size_t kVerifierSaltSize = 16;
constexpr size_t kVerifierHashSize = 32;
constexpr size_t kMaxCachedKeys = 64;

std::string ToHex(const uint8_t* data, size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    out += kDigits[data[i] >> 4];
    out += kDigits[data[i] & 15];
  }
  return out;
}

bool FromHex(std::string_view text, uint8_t* out, size_t size) {
  if (text.size() != size * 2) return false;
  for (size_t i = 0; i < size; ++i) {
    uint8_t value = 0;
    const auto [end, error] = std::from_chars(text.data() + 2 * i, text.data() + 2 * i + 2, value, 16);
    if (error != std::errc() || end != text.data() + 2 * i + 2) return false;
    out[i] = value;
  }
  return true;
}

[[noreturn]] void ThrowUsage(const char* message) { throw EngineError(ErrorKind::kUsage, message); }

}  // namespace

struct CryptoEngine::Impl {
  Method method = Method::kRijndael;
  HashingMethod hashing = HashingMethod::kSha2;
  int hashBits = 160;
  int keyBits = 128;
  std::optional<CryptoPP::SecByteBlock> passPhrase;
  uint32_t testIterations = 0;
  // One salt for everything this instance encrypts under one pass phrase, so
  // that a store of many fields costs one derivation to write and to read.
  std::optional<std::array<uint8_t, detail::kSaltSize>> salt;
  std::map<std::string, CryptoPP::SecByteBlock> keys;
  std::optional<CryptoPP::RSAFunction> publicKey;
  std::optional<CryptoPP::InvertibleRSAFunction> privateKey;
  CryptoPP::AutoSeededRandomPool rng;

  std::string_view PassPhraseText() const {
    return {reinterpret_cast<const char*>(passPhrase->data()), passPhrase->size()};
  }

  PasswordHeader NewHeader(uint8_t kind) {
    if (method == Method::kRsa) ThrowUsage("RSA encrypts messages only, with a public key");
    if (!passPhrase) ThrowUsage("no pass phrase set");
    if (!detail::IsValidHashChoice(hashing, hashBits)) {
      ThrowUsage(hashing == HashingMethod::kSha2 ? "SHA-2 hash size must be 160, 256, 384 or 512 bits"
                                                 : "HAVAL hash size must be 128, 160, 192, 224 or 256 bits");
    }
    if (!salt) {
      salt.emplace();
      rng.GenerateBlock(salt->data(), salt->size());
    }
    PasswordHeader header;
    header.kind = kind;
    header.cipher = method;
    header.keyBits = keyBits;
    header.hashing = hashing;
    header.hashBits = hashBits;
    header.iterations = testIterations != 0 ? testIterations : DefaultIterations(hashing, hashBits);
    header.salt = *salt;
    rng.GenerateBlock(header.nonce.data(), header.nonce.size());
    return header;
  }

  const uint8_t* KeyFor(const PasswordHeader& header, const detail::DerivationTick& tick = {}) {
    if (!passPhrase) ThrowUsage("no pass phrase set: this was encrypted with a password");
    std::string id;
    id += char(header.hashing == HashingMethod::kHaval ? 'H' : 'S');
    id += std::to_string(header.hashBits) + "/" + std::to_string(header.keyBits) + "/" +
          std::to_string(header.iterations) + "/";
    id.append(reinterpret_cast<const char*>(header.salt.data()), header.salt.size());
    auto found = keys.find(id);
    if (found != keys.end()) return found->second.data();
    if (keys.size() >= kMaxCachedKeys) keys.clear();
    CryptoPP::SecByteBlock key(size_t(header.keyBits) / 8);
    detail::Pbkdf2(header.hashing, header.hashBits, PassPhraseText(), header.salt.data(), header.salt.size(),
                   header.iterations, key.data(), key.size(), tick);
    return keys.emplace(std::move(id), std::move(key)).first->second.data();
  }

  Bytes OpenStreamInMemory(const PasswordHeader& header, const Bytes& sealed) {
    const uint8_t* key = KeyFor(header);
    size_t at = detail::kHeaderSize;
    // The clear text never outgrows this, so it is never moved and leaves
    // no copy behind in freed memory.
    Bytes plain;
    plain.reserve(sealed.size() - detail::kHeaderSize);
    detail::OpenStream(
        header, key,
        [&](uint8_t* buffer, size_t size) {
          const size_t take = std::min(size, sealed.size() - at);
          std::copy(sealed.begin() + long(at), sealed.begin() + long(at + take), buffer);
          at += take;
          return take;
        },
        [&](const uint8_t* data, size_t size) { plain.insert(plain.end(), data, data + size); }, {});
    return plain;
  }
};

CryptoEngine::CryptoEngine() : impl_(std::make_unique<Impl>()) {}
CryptoEngine::~CryptoEngine() = default;

void CryptoEngine::SetMethod(Method method) { impl_->method = method; }
Method CryptoEngine::CurrentMethod() const noexcept { return impl_->method; }

void CryptoEngine::SetSecretKeyFromPassPhrase(std::string_view passPhrase, int keyBits) {
  if (keyBits != 128 && keyBits != 192 && keyBits != 256) ThrowUsage("key size must be 128, 192 or 256 bits");
  impl_->keyBits = keyBits;
  const bool same = impl_->passPhrase && impl_->PassPhraseText() == passPhrase;
  if (same) return;
  impl_->passPhrase.emplace(reinterpret_cast<const uint8_t*>(passPhrase.data()), passPhrase.size());
  impl_->salt.reset();
  impl_->keys.clear();
}

void CryptoEngine::SetHashingMethod(HashingMethod hashing) { impl_->hashing = hashing; }

void CryptoEngine::SetHashSize(int bits) {
  if (bits != 128 && bits != 160 && bits != 192 && bits != 224 && bits != 256 && bits != 384 && bits != 512) {
    ThrowUsage("hash size must be 128, 160, 192, 224, 256, 384 or 512 bits");
  }
  impl_->hashBits = bits;
}

uint32_t CryptoEngine::DefaultIterations(HashingMethod hashing, int hashBits) {
  if (hashing == HashingMethod::kHaval) return 1'300'000;
  switch (hashBits) {
    case 160: return 1'300'000;
    case 256: return 600'000;
    default: return 210'000;
  }
}

void CryptoEngine::SetKdfIterationsForTesting(uint32_t iterations) {
  if (iterations > detail::kMaxIterations) ThrowUsage("iteration count out of range");
  impl_->testIterations = iterations;
}

void CryptoEngine::CreateKeyPair(int bits, const Progress& progress) {
  impl_->privateKey = detail::GenerateKeyPair(bits, progress);
  impl_->publicKey = CryptoPP::RSAFunction(*impl_->privateKey);
}

Bytes CryptoEngine::PublicKey() const {
  if (!impl_->publicKey) ThrowUsage("no public key set");
  return detail::EncodePublicKey(*impl_->publicKey);
}

Bytes CryptoEngine::PrivateKey() const {
  if (!impl_->privateKey) ThrowUsage("no private key set");
  return detail::EncodePrivateKey(*impl_->privateKey);
}

void CryptoEngine::SetPublicKey(const Bytes& der) { impl_->publicKey = detail::DecodePublicKey(der); }

void CryptoEngine::SetPrivateKey(const Bytes& der) {
  impl_->privateKey = detail::DecodePrivateKey(der);
  impl_->publicKey = CryptoPP::RSAFunction(*impl_->privateKey);
}

int CryptoEngine::PublicKeyBits() const noexcept {
  return impl_->publicKey ? int(impl_->publicKey->GetModulus().BitCount()) : 0;
}

std::string CryptoEngine::RsaKeyWarning() const {
  const int bits = PublicKeyBits();
  if (bits == 0 || bits >= kRsaAdvisedBits) return {};
  return "a key of " + std::to_string(bits) + " bits is weak: use a key of " + std::to_string(kRsaAdvisedBits) +
         " bits or more";
}

Bytes CryptoEngine::EncryptBuffer(const Bytes& plain) {
  if (impl_->method == Method::kRsa) {
    if (!impl_->publicKey) ThrowUsage("no public key set");
    return detail::RsaSeal(*impl_->publicKey, plain);
  }
  const PasswordHeader header = impl_->NewHeader(detail::kKindMessage);
  return detail::SealMessage(header, impl_->KeyFor(header), plain.data(), plain.size());
}

Bytes CryptoEngine::DecryptBuffer(const Bytes& sealed) {
  const uint8_t kind = detail::ReadKind(sealed.data(), sealed.size());
  if (kind == detail::kKindRsa) {
    if (!impl_->privateKey) ThrowUsage("no private key set: this was encrypted with an RSA key");
    return detail::RsaOpen(*impl_->privateKey, sealed);
  }
  const PasswordHeader header = detail::ParseHeader(sealed.data(), sealed.size());
  if (kind == detail::kKindFile) return impl_->OpenStreamInMemory(header, sealed);
  return detail::OpenMessage(header, impl_->KeyFor(header), sealed.data(), sealed.size());
}

namespace {

[[noreturn]] void ThrowCancelled() { throw EngineError(ErrorKind::kCancelled, "cancelled"); }

detail::StepFn ProgressStep(const Progress& progress, uint64_t total) {
  if (!progress) return {};
  return [&progress, total](uint64_t done) {
    if (!progress(std::min(done, total), total)) ThrowCancelled();
  };
}

// A derivation at a high count takes seconds: the caller may cancel it too.
detail::DerivationTick DerivationStep(const Progress& progress, uint64_t total) {
  if (!progress) return {};
  return [&progress, total] {
    if (!progress(0, total)) ThrowCancelled();
  };
}

}  // namespace

void CryptoEngine::EncryptFile(const std::string& source, const std::string& destination, const Progress& progress) {
  detail::InputFile input(source);
  const PasswordHeader header = impl_->NewHeader(detail::kKindFile);
  const uint64_t total = input.Size();
  const uint8_t* key = impl_->KeyFor(header, DerivationStep(progress, total));
  if (progress && !progress(0, total)) ThrowCancelled();
  detail::ReplacingFile output(destination);
  detail::SealStream(
      header, key, [&](uint8_t* buffer, size_t size) { return input.Read(buffer, size); },
      [&](const uint8_t* data, size_t size) { output.Write(data, size); }, ProgressStep(progress, total));
  output.Commit();
}

void CryptoEngine::DecryptFile(const std::string& source, const std::string& destination, const Progress& progress) {
  detail::InputFile input(source);
  detail::HeaderBytes head{};
  const size_t got = input.Read(head.data(), head.size());
  const uint8_t kind = detail::ReadKind(head.data(), got);
  if (kind == detail::kKindMessage || kind == detail::kKindRsa) {
    throw EngineError(ErrorKind::kUnsupportedFormat, "'" + source + "' holds an encrypted message, not a file");
  }
  const PasswordHeader header = detail::ParseHeader(head.data(), got);
  const uint64_t total = input.Size();
  const uint8_t* key = impl_->KeyFor(header, DerivationStep(progress, total));
  if (progress && !progress(0, total)) ThrowCancelled();
  detail::ReplacingFile output(destination);
  detail::OpenStream(
      header, key, [&](uint8_t* buffer, size_t size) { return input.Read(buffer, size); },
      [&](const uint8_t* data, size_t size) { output.Write(data, size); }, ProgressStep(progress, total));
  output.Commit();
}

void CryptoEngine::WriteBufferToFile(const Bytes& plain, const std::string& path) {
  const PasswordHeader header = impl_->NewHeader(detail::kKindFile);
  const uint8_t* key = impl_->KeyFor(header);
  detail::ReplacingFile output(path);
  size_t at = 0;
  detail::SealStream(
      header, key,
      [&](uint8_t* buffer, size_t size) {
        const size_t take = std::min(size, plain.size() - at);
        std::copy(plain.begin() + long(at), plain.begin() + long(at + take), buffer);
        at += take;
        return take;
      },
      [&](const uint8_t* data, size_t size) { output.Write(data, size); }, {});
  output.Commit();
}

Bytes CryptoEngine::ReadBufferFromFile(const std::string& path) {
  detail::InputFile input(path);
  Bytes sealed;
  std::array<uint8_t, 65536> block;
  for (;;) {
    const size_t got = input.Read(block.data(), block.size());
    sealed.insert(sealed.end(), block.begin(), block.begin() + long(got));
    if (got < block.size()) break;
  }
  return DecryptBuffer(sealed);
}

std::string CryptoEngine::MakePasswordVerifier(std::string_view password) {
  std::array<uint8_t, kVerifierSaltSize> salt;
  CryptoPP::AutoSeededRandomPool().GenerateBlock(salt.data(), salt.size());
  std::array<uint8_t, kVerifierHashSize> hash;
  detail::Pbkdf2(HashingMethod::kSha2, 256, password, salt.data(), salt.size(), kVerifierIterations, hash.data(),
                 hash.size());
  return "vk1$" + std::to_string(kVerifierIterations) + "$" + ToHex(salt.data(), salt.size()) + "$" +
         ToHex(hash.data(), hash.size());
}

bool CryptoEngine::CheckPasswordVerifier(std::string_view verifier, std::string_view password) {
  std::array<std::string_view, 4> parts;
  size_t count = 0;
  for (size_t start = 0;;) {
    const size_t end = verifier.find('$', start);
    if (count == parts.size()) return false;
    parts[count++] = verifier.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  if (count != 4 || parts[0] != "vk1") return false;
  uint32_t iterations = 0;
  const auto [end, error] = std::from_chars(parts[1].data(), parts[1].data() + parts[1].size(), iterations);
  if (error != std::errc() || end != parts[1].data() + parts[1].size() || iterations == 0 ||
      iterations > kMaxVerifierIterations) {
    return false;
  }
  std::array<uint8_t, kVerifierSaltSize> salt;
  std::array<uint8_t, kVerifierHashSize> expected;
  if (!FromHex(parts[2], salt.data(), salt.size()) || !FromHex(parts[3], expected.data(), expected.size())) {
    return false;
  }
  std::array<uint8_t, kVerifierHashSize> hash;
  detail::Pbkdf2(HashingMethod::kSha2, 256, password, salt.data(), salt.size(), iterations, hash.data(),
                 hash.size());
  return CryptoPP::VerifyBufsEqual(hash.data(), expected.data(), hash.size());
}

}  // namespace vkcrypto
