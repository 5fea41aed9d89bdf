#include "cryptoengine/Format.h"

#include <cryptopp/aes.h>
#include <cryptopp/gcm.h>
#include <cryptopp/hkdf.h>
#include <cryptopp/sha.h>
#include <cryptopp/twofish.h>

#include <memory>
#include <vector>

#include "cryptoengine/Kdf.h"

namespace vkcrypto::detail {
namespace {

constexpr uint8_t kCipherRijndael = 1;
constexpr uint8_t kCipherTwofish = 2;
constexpr uint8_t kHashSha2 = 1;
constexpr uint8_t kHashHaval = 2;

std::unique_ptr<CryptoPP::AuthenticatedSymmetricCipher> NewGcm(Method cipher, bool encrypt) {
  if (cipher == Method::kTwofish) {
    if (encrypt) return std::make_unique<CryptoPP::GCM<CryptoPP::Twofish>::Encryption>();
    return std::make_unique<CryptoPP::GCM<CryptoPP::Twofish>::Decryption>();
  }
  if (encrypt) return std::make_unique<CryptoPP::GCM<CryptoPP::AES>::Encryption>();
  return std::make_unique<CryptoPP::GCM<CryptoPP::AES>::Decryption>();
}

// One key per message or file, from the derived key and the random nonce, so
// that thousands of messages under one derived key never share a GCM key and
// nonce pair whatever the nonce generator does.
std::unique_ptr<CryptoPP::AuthenticatedSymmetricCipher> KeyedGcm(const PasswordHeader& header, const uint8_t* key,
                                                                  bool encrypt) {
  const size_t keySize = size_t(header.keyBits) / 8;
  const char* info = header.kind == kKindFile ? "VK1 file" : "VK1 message";
  CryptoPP::SecByteBlock subkey(keySize);
  CryptoPP::HKDF<CryptoPP::SHA256>().DeriveKey(subkey.data(), keySize, key, keySize, header.nonce.data(),
                                               header.nonce.size(), reinterpret_cast<const uint8_t*>(info),
                                               std::char_traits<char>::length(info));
  auto gcm = NewGcm(header.cipher, encrypt);
  const std::array<uint8_t, 12> firstIv{};  // every use passes its own
  gcm->SetKeyWithIV(subkey.data(), keySize, firstIv.data(), firstIv.size());
  return gcm;
}

// Chunk i of a file: an 11-byte big-endian counter and a last-chunk flag.
std::array<uint8_t, 12> ChunkIv(uint64_t counter, bool last) {
  std::array<uint8_t, 12> iv{};
  for (int i = 0; i < 8; ++i) iv[10 - i] = uint8_t(counter >> (8 * i));
  iv[11] = last ? 1 : 0;
  return iv;
}

}  // namespace

void ThrowDamaged() { throw EngineError(ErrorKind::kWrongPasswordOrDamaged, "wrong password or damaged data"); }

HeaderBytes EncodeHeader(const PasswordHeader& header) {
  HeaderBytes out{};
  out[0] = kMagic0;
  out[1] = kMagic1;
  out[2] = kVersion;
  out[3] = header.kind;
  out[4] = header.cipher == Method::kTwofish ? kCipherTwofish : kCipherRijndael;
  out[5] = uint8_t(header.keyBits / 8);
  out[6] = header.hashing == HashingMethod::kHaval ? kHashHaval : kHashSha2;
  out[7] = uint8_t(header.hashBits / 8);
  for (int i = 0; i < 4; ++i) out[8 + i] = uint8_t(header.iterations >> (24 - 8 * i));
  std::copy(header.salt.begin(), header.salt.end(), out.begin() + 12);
  std::copy(header.nonce.begin(), header.nonce.end(), out.begin() + 28);
  return out;
}

uint8_t ReadKind(const uint8_t* data, size_t size) {
  if (size < 4 || data[0] != kMagic0 || data[1] != kMagic1) {
    throw EngineError(ErrorKind::kUnsupportedFormat, "not data encrypted by this program");
  }
  if (data[2] != kVersion) throw EngineError(ErrorKind::kUnsupportedFormat, "unsupported format version");
  if (data[3] != kKindMessage && data[3] != kKindFile && data[3] != kKindRsa) ThrowDamaged();
  return data[3];
}

PasswordHeader ParseHeader(const uint8_t* data, size_t size) {
  PasswordHeader header;
  header.kind = ReadKind(data, size);
  if (size < kHeaderSize || header.kind == kKindRsa) ThrowDamaged();
  if (data[4] == kCipherRijndael) {
    header.cipher = Method::kRijndael;
  } else if (data[4] == kCipherTwofish) {
    header.cipher = Method::kTwofish;
  } else {
    ThrowDamaged();
  }
  header.keyBits = data[5] * 8;
  if (header.keyBits != 128 && header.keyBits != 192 && header.keyBits != 256) ThrowDamaged();
  if (data[6] == kHashSha2) {
    header.hashing = HashingMethod::kSha2;
  } else if (data[6] == kHashHaval) {
    header.hashing = HashingMethod::kHaval;
  } else {
    ThrowDamaged();
  }
  header.hashBits = data[7] * 8;
  if (!IsValidHashChoice(header.hashing, header.hashBits)) ThrowDamaged();
  header.iterations = uint32_t(data[8]) << 24 | uint32_t(data[9]) << 16 | uint32_t(data[10]) << 8 | data[11];
  if (header.iterations == 0 || header.iterations > kMaxIterations) ThrowDamaged();
  std::copy(data + 12, data + 28, header.salt.begin());
  std::copy(data + 28, data + 44, header.nonce.begin());
  return header;
}

Bytes SealMessage(const PasswordHeader& header, const uint8_t* key, const uint8_t* plain, size_t size) {
  const HeaderBytes head = EncodeHeader(header);
  Bytes out(kHeaderSize + size + kTagSize);
  std::copy(head.begin(), head.end(), out.begin());
  const std::array<uint8_t, 12> iv{};
  KeyedGcm(header, key, true)
      ->EncryptAndAuthenticate(out.data() + kHeaderSize, out.data() + kHeaderSize + size, kTagSize, iv.data(),
                               int(iv.size()), head.data(), head.size(), plain, size);
  return out;
}

Bytes OpenMessage(const PasswordHeader& header, const uint8_t* key, const uint8_t* sealed, size_t size) {
  if (size < kHeaderSize + kTagSize) ThrowDamaged();
  const size_t bodySize = size - kHeaderSize - kTagSize;
  Bytes plain(bodySize);
  const std::array<uint8_t, 12> iv{};
  const bool good = KeyedGcm(header, key, false)
                        ->DecryptAndVerify(plain.data(), sealed + size - kTagSize, kTagSize, iv.data(),
                                           int(iv.size()), sealed, kHeaderSize, sealed + kHeaderSize, bodySize);
  if (!good) {
    CryptoPP::SecureWipeBuffer(plain.data(), plain.size());
    ThrowDamaged();
  }
  return plain;
}

void SealStream(const PasswordHeader& header, const uint8_t* key, const ReadFn& read, const WriteFn& write,
                const StepFn& step) {
  const HeaderBytes head = EncodeHeader(header);
  write(head.data(), head.size());
  auto gcm = KeyedGcm(header, key, true);
  CryptoPP::SecByteBlock plain(kChunkSize);
  std::vector<uint8_t> sealed(kChunkSize + kTagSize);
  uint64_t done = 0;
  for (uint64_t counter = 0;; ++counter) {
    const size_t size = read(plain.data(), kChunkSize);
    const bool last = size < kChunkSize;
    const auto iv = ChunkIv(counter, last);
    gcm->EncryptAndAuthenticate(sealed.data(), sealed.data() + size, kTagSize, iv.data(), int(iv.size()),
                                head.data(), head.size(), plain.data(), size);
    write(sealed.data(), size + kTagSize);
    done += size;
    if (step) step(done);
    if (last) break;
  }
}

void OpenStream(const PasswordHeader& header, const uint8_t* key, const ReadFn& read, const WriteFn& write,
                const StepFn& step) {
  const HeaderBytes head = EncodeHeader(header);
  auto gcm = KeyedGcm(header, key, false);
  std::vector<uint8_t> sealed(kChunkSize + kTagSize);
  CryptoPP::SecByteBlock plain(kChunkSize);
  uint64_t done = kHeaderSize;
  for (uint64_t counter = 0;; ++counter) {
    const size_t size = read(sealed.data(), sealed.size());
    if (size < kTagSize) ThrowDamaged();  // a file cut after a full chunk
    const bool last = size < sealed.size();
    const size_t plainSize = size - kTagSize;
    const auto iv = ChunkIv(counter, last);
    if (!gcm->DecryptAndVerify(plain.data(), sealed.data() + plainSize, kTagSize, iv.data(), int(iv.size()),
                               head.data(), head.size(), sealed.data(), plainSize)) {
      ThrowDamaged();
    }
    write(plain.data(), plainSize);
    done += size;
    if (step) step(done);
    if (last) break;
  }
}

}  // namespace vkcrypto::detail
