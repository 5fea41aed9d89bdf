#include "cryptoengine/Rsa.h"

#include <cryptopp/aes.h>
#include <cryptopp/argnames.h>
#include <cryptopp/gcm.h>
#include <cryptopp/osrng.h>
#include <cryptopp/queue.h>
#include <cryptopp/sha.h>

#include <array>

#include "cryptoengine/Format.h"
#include "cryptoengine/PrimeSearch.h"

namespace vkcrypto::detail {
namespace {

constexpr uint8_t kWrapSha256Aes256 = 1;
constexpr uint8_t kWrapSha1Aes128 = 2;
constexpr size_t kRsaHeadSize = 7;

[[noreturn]] void ThrowBadKey(const char* what) { throw EngineError(ErrorKind::kBadKey, what); }

[[noreturn]] void ThrowWrongKey() {
  throw EngineError(ErrorKind::kWrongPasswordOrDamaged, "wrong key or damaged data");
}

// Keys below kRsaMinimumBits are factored with public tools in hours to
// days, so no message is sealed to one; its content key is wrapped with OAEP
// over SHA-256 (MGF1-SHA256), which needs 98 bytes of the 128 there are. The
// SHA-1 wrapping of a 128-bit key that 512-bit keys once got is still read.
uint8_t WrapFor(const CryptoPP::Integer& modulus) {
  if (modulus.BitCount() < unsigned(kRsaMinimumBits)) {
    throw EngineError(ErrorKind::kKeyTooSmall, "too small to protect a message: use a key of " +
                                                   std::to_string(kRsaAdvisedBits) + " bits or more");
  }
  return kWrapSha256Aes256;
}

void CheckSize(const CryptoPP::Integer& modulus) {
  const unsigned bits = modulus.BitCount();
  if (bits < unsigned(kMinKeyBits) || bits > unsigned(kMaxKeyBits)) ThrowBadKey("not an RSA key of a usable size");
}

}  // namespace

bool IsOfferedKeySize(int bits) {
  switch (bits) {
    case 128: case 256: case 512: case 1024: case 2048: case 3072: case 4096: case 5120: case 6144: case 7128:
      return true;
    default:
      return false;
  }
}

CryptoPP::InvertibleRSAFunction GenerateKeyPair(int bits, const Progress& progress) {
  if (!IsOfferedKeySize(bits)) {
    throw EngineError(ErrorKind::kUsage, "key size must be 128, 256, 512, 1024, 2048, 3072, 4096, 5120, 6144 or 7128 bits");
  }
  CryptoPP::AutoSeededRandomPool rng;
  return GenerateRsaKey(rng, bits, progress);
}

Bytes EncodePublicKey(const CryptoPP::RSAFunction& key) {
  CryptoPP::ByteQueue queue;
  key.DEREncodePublicKey(queue);
  Bytes out(size_t(queue.MaxRetrievable()));
  queue.Get(out.data(), out.size());
  return out;
}

Bytes EncodePrivateKey(const CryptoPP::InvertibleRSAFunction& key) {
  CryptoPP::ByteQueue queue;
  key.DEREncodePrivateKey(queue);
  Bytes out(size_t(queue.MaxRetrievable()));
  queue.Get(out.data(), out.size());
  return out;
}

CryptoPP::RSAFunction DecodePublicKey(const Bytes& der) {
  CryptoPP::RSAFunction key;
  try {
    CryptoPP::ByteQueue queue;
    queue.Put(der.data(), der.size());
    key.BERDecodePublicKey(queue, false, size_t(queue.MaxRetrievable()));
    if (queue.MaxRetrievable() != 0) ThrowBadKey("not an RSA public key: bytes after the key");
  } catch (const CryptoPP::Exception&) {
    ThrowBadKey("not an RSA public key");
  }
  CheckSize(key.GetModulus());
  const CryptoPP::Integer& e = key.GetPublicExponent();
  if (key.GetModulus().IsEven() || e.IsEven() || e < 3 || e >= key.GetModulus()) ThrowBadKey("not a valid RSA public key");
  return key;
}

CryptoPP::InvertibleRSAFunction DecodePrivateKey(const Bytes& der) {
  CryptoPP::InvertibleRSAFunction key;
  try {
    CryptoPP::ByteQueue queue;
    queue.Put(der.data(), der.size());
    key.BERDecodePrivateKey(queue, false, size_t(queue.MaxRetrievable()));
    if (queue.MaxRetrievable() != 0) ThrowBadKey("not an RSA private key: bytes after the key");
  } catch (const CryptoPP::Exception&) {
    ThrowBadKey("not an RSA private key");
  }
  CheckSize(key.GetModulus());
  const CryptoPP::Integer& e = key.GetPublicExponent();
  if (key.GetModulus().IsEven() || e.IsEven() || e < 3 || e >= key.GetModulus() || key.GetPrime1().BitCount() < 2 ||
      key.GetPrime2().BitCount() < 2 || key.GetPrime1().BitCount() > unsigned(kMaxKeyBits) ||
      key.GetPrime2().BitCount() > unsigned(kMaxKeyBits)) {
    ThrowBadKey("not a valid RSA private key");
  }
  // Level 1: the parts agree with each other (n = pq, de = 1, the CRT values);
  // primality (level 2) would make loading a large key slow.
  CryptoPP::AutoSeededRandomPool rng;
  bool valid = false;
  try {
    valid = key.Validate(rng, 1);
  } catch (const CryptoPP::Exception&) {
    valid = false;
  }
  if (!valid) ThrowBadKey("not a valid RSA private key");
  return key;
}

Bytes RsaSeal(const CryptoPP::RSAFunction& key, const Bytes& plain) {
  const uint8_t wrap = WrapFor(key.GetModulus());
  const size_t modulusBytes = key.GetModulus().ByteCount();
  constexpr size_t contentKeySize = 32;
  CryptoPP::AutoSeededRandomPool rng;
  CryptoPP::SecByteBlock contentKey(contentKeySize);
  rng.GenerateBlock(contentKey.data(), contentKey.size());

  Bytes out(kRsaHeadSize + modulusBytes + plain.size() + kTagSize);
  out[0] = kMagic0;
  out[1] = kMagic1;
  out[2] = kVersion;
  out[3] = kKindRsa;
  out[4] = wrap;
  out[5] = uint8_t(modulusBytes >> 8);
  out[6] = uint8_t(modulusBytes);
  CryptoPP::RSAES<CryptoPP::OAEP<CryptoPP::SHA256>>::Encryptor encryptor(key);
  encryptor.Encrypt(rng, contentKey.data(), contentKey.size(), out.data() + kRsaHeadSize);
  const size_t headSize = kRsaHeadSize + modulusBytes;
  CryptoPP::GCM<CryptoPP::AES>::Encryption gcm;
  const std::array<uint8_t, 12> iv{};  // the content key is used once
  gcm.SetKeyWithIV(contentKey.data(), contentKey.size(), iv.data(), iv.size());
  gcm.EncryptAndAuthenticate(out.data() + headSize, out.data() + headSize + plain.size(), kTagSize, iv.data(),
                             int(iv.size()), out.data(), headSize, plain.data(), plain.size());
  return out;
}

Bytes RsaOpen(const CryptoPP::InvertibleRSAFunction& key, const Bytes& sealed) {
  if (ReadKind(sealed.data(), sealed.size()) != kKindRsa) {
    throw EngineError(ErrorKind::kUsage, "this was encrypted with a password, not with an RSA key");
  }
  if (sealed.size() < kRsaHeadSize) ThrowWrongKey();
  const uint8_t wrap = sealed[4];
  const size_t wrappedSize = size_t(sealed[5]) << 8 | sealed[6];
  const size_t modulusBytes = key.GetModulus().ByteCount();
  if ((wrap != kWrapSha256Aes256 && wrap != kWrapSha1Aes128) || wrappedSize != modulusBytes ||
      sealed.size() < kRsaHeadSize + wrappedSize + kTagSize) {
    ThrowWrongKey();
  }
  CryptoPP::AutoSeededRandomPool rng;
  CryptoPP::SecByteBlock contentKey(modulusBytes);
  CryptoPP::DecodingResult result;
  try {
    if (wrap == kWrapSha256Aes256) {
      CryptoPP::RSAES<CryptoPP::OAEP<CryptoPP::SHA256>>::Decryptor decryptor(key);
      result = decryptor.Decrypt(rng, sealed.data() + kRsaHeadSize, wrappedSize, contentKey.data());
    } else {
      CryptoPP::RSAES<CryptoPP::OAEP<CryptoPP::SHA1>>::Decryptor decryptor(key);
      result = decryptor.Decrypt(rng, sealed.data() + kRsaHeadSize, wrappedSize, contentKey.data());
    }
  } catch (const CryptoPP::Exception&) {
    ThrowWrongKey();
  }
  const size_t expectedKey = wrap == kWrapSha256Aes256 ? 32 : 16;
  if (!result.isValidCoding || result.messageLength != expectedKey) ThrowWrongKey();

  const size_t headSize = kRsaHeadSize + wrappedSize;
  const size_t bodySize = sealed.size() - headSize - kTagSize;
  Bytes plain(bodySize);
  CryptoPP::GCM<CryptoPP::AES>::Decryption gcm;
  const std::array<uint8_t, 12> iv{};
  gcm.SetKeyWithIV(contentKey.data(), expectedKey, iv.data(), iv.size());
  if (!gcm.DecryptAndVerify(plain.data(), sealed.data() + sealed.size() - kTagSize, kTagSize, iv.data(),
                            int(iv.size()), sealed.data(), headSize, sealed.data() + headSize, bodySize)) {
    CryptoPP::SecureWipeBuffer(plain.data(), plain.size());
    ThrowWrongKey();
  }
  return plain;
}

}  // namespace vkcrypto::detail
