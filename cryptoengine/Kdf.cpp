#include "cryptoengine/Kdf.h"

#include <cryptopp/sha.h>
#include <mhash.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace vkcrypto::detail {
namespace {

// PBKDF2 keeps the hash state after the padded key block for both HMAC
// halves and copies it for each iteration: two compressions an iteration
// instead of the four a fresh HMAC per iteration costs, so the guidance-level
// counts stay quick for the user at the same cost to an attacker.
template <class Hash>
void Pbkdf2Cryptopp(std::string_view password, const uint8_t* salt, size_t saltSize, uint32_t iterations,
                    uint8_t* out, size_t outSize) {
  constexpr size_t kBlock = Hash::BLOCKSIZE;
  constexpr size_t kDigest = Hash::DIGESTSIZE;
  std::array<uint8_t, kBlock> key{};
  if (password.size() > kBlock) {
    Hash().CalculateDigest(key.data(), reinterpret_cast<const uint8_t*>(password.data()), password.size());
  } else {
    std::memcpy(key.data(), password.data(), password.size());
  }
  std::array<uint8_t, kBlock> pad;
  Hash innerStart;
  Hash outerStart;
  for (size_t i = 0; i < kBlock; ++i) pad[i] = key[i] ^ 0x36;
  innerStart.Update(pad.data(), kBlock);
  for (size_t i = 0; i < kBlock; ++i) pad[i] = key[i] ^ 0x5c;
  outerStart.Update(pad.data(), kBlock);

  std::array<uint8_t, kDigest> u;
  std::array<uint8_t, kDigest> t;
  for (uint32_t block = 1; outSize > 0; ++block) {
    const uint8_t index[4] = {uint8_t(block >> 24), uint8_t(block >> 16), uint8_t(block >> 8), uint8_t(block)};
    Hash inner = innerStart;
    inner.Update(salt, saltSize);
    inner.Update(index, 4);
    inner.Final(u.data());
    Hash outer = outerStart;
    outer.Update(u.data(), kDigest);
    outer.Final(u.data());
    t = u;
    for (uint32_t round = 1; round < iterations; ++round) {
      inner = innerStart;
      inner.Update(u.data(), kDigest);
      inner.Final(u.data());
      outer = outerStart;
      outer.Update(u.data(), kDigest);
      outer.Final(u.data());
      for (size_t i = 0; i < kDigest; ++i) t[i] ^= u[i];
    }
    const size_t take = std::min(outSize, kDigest);
    std::memcpy(out, t.data(), take);
    out += take;
    outSize -= take;
  }
  std::fill(key.begin(), key.end(), 0);
  std::fill(pad.begin(), pad.end(), 0);
  std::fill(u.begin(), u.end(), 0);
  std::fill(t.begin(), t.end(), 0);
}

hashid HavalId(int hashBits) {
  switch (hashBits) {
    case 128: return MHASH_HAVAL128;
    case 160: return MHASH_HAVAL160;
    case 192: return MHASH_HAVAL192;
    case 224: return MHASH_HAVAL224;
    default: return MHASH_HAVAL256;
  }
}

struct MhashDeleter {
  void operator()(MHASH_INSTANCE* h) const { mhash_deinit(h, nullptr); }
};
using MhashPtr = std::unique_ptr<MHASH_INSTANCE, MhashDeleter>;

MhashPtr NewHaval(int hashBits) {
  MHASH h = mhash_init(HavalId(hashBits));
  if (h == MHASH_FAILED) throw EngineError(ErrorKind::kUsage, "the HAVAL hash is not available");
  return MhashPtr(h);
}

MhashPtr CopyHaval(const MhashPtr& from) {
  MHASH h = mhash_cp(from.get());
  if (h == MHASH_FAILED || h == nullptr) throw std::bad_alloc();
  return MhashPtr(h);
}

// Ends a copy of the state and writes the digest to out.
void FinishHaval(MhashPtr h, uint8_t* out) { mhash_deinit(h.release(), out); }

void Pbkdf2Haval(int hashBits, std::string_view password, const uint8_t* salt, size_t saltSize, uint32_t iterations,
                 uint8_t* out, size_t outSize) {
  constexpr size_t kBlock = 128;  // HAVAL works on 1024-bit blocks
  const size_t digest = size_t(hashBits) / 8;
  std::array<uint8_t, kBlock> key{};
  if (password.size() > kBlock) {
    const Bytes hashed = Digest(HashingMethod::kHaval, hashBits, reinterpret_cast<const uint8_t*>(password.data()),
                                password.size());
    std::memcpy(key.data(), hashed.data(), hashed.size());
  } else {
    std::memcpy(key.data(), password.data(), password.size());
  }
  std::array<uint8_t, kBlock> pad;
  MhashPtr innerStart = NewHaval(hashBits);
  MhashPtr outerStart = NewHaval(hashBits);
  for (size_t i = 0; i < kBlock; ++i) pad[i] = key[i] ^ 0x36;
  mhash(innerStart.get(), pad.data(), kBlock);
  for (size_t i = 0; i < kBlock; ++i) pad[i] = key[i] ^ 0x5c;
  mhash(outerStart.get(), pad.data(), kBlock);

  std::array<uint8_t, 32> u{};
  std::array<uint8_t, 32> t{};
  for (uint32_t block = 1; outSize > 0; ++block) {
    const uint8_t index[4] = {uint8_t(block >> 24), uint8_t(block >> 16), uint8_t(block >> 8), uint8_t(block)};
    MhashPtr inner = CopyHaval(innerStart);
    mhash(inner.get(), salt, saltSize);
    mhash(inner.get(), index, 4);
    FinishHaval(std::move(inner), u.data());
    MhashPtr outer = CopyHaval(outerStart);
    mhash(outer.get(), u.data(), digest);
    FinishHaval(std::move(outer), u.data());
    t = u;
    for (uint32_t round = 1; round < iterations; ++round) {
      inner = CopyHaval(innerStart);
      mhash(inner.get(), u.data(), digest);
      FinishHaval(std::move(inner), u.data());
      outer = CopyHaval(outerStart);
      mhash(outer.get(), u.data(), digest);
      FinishHaval(std::move(outer), u.data());
      for (size_t i = 0; i < digest; ++i) t[i] ^= u[i];
    }
    const size_t take = std::min(outSize, digest);
    std::memcpy(out, t.data(), take);
    out += take;
    outSize -= take;
  }
  std::fill(key.begin(), key.end(), 0);
  std::fill(pad.begin(), pad.end(), 0);
  std::fill(u.begin(), u.end(), 0);
  std::fill(t.begin(), t.end(), 0);
}

}  // namespace

bool IsValidHashChoice(HashingMethod hashing, int hashBits) {
  if (hashing == HashingMethod::kSha2) {
    return hashBits == 160 || hashBits == 256 || hashBits == 384 || hashBits == 512;
  }
  return hashBits == 128 || hashBits == 160 || hashBits == 192 || hashBits == 224 || hashBits == 256;
}

Bytes Digest(HashingMethod hashing, int hashBits, const uint8_t* data, size_t size) {
  if (!IsValidHashChoice(hashing, hashBits)) throw EngineError(ErrorKind::kUsage, "unsupported hash size");
  Bytes out(size_t(hashBits) / 8);
  if (hashing == HashingMethod::kHaval) {
    MhashPtr h = NewHaval(hashBits);
    mhash(h.get(), data, size);
    FinishHaval(std::move(h), out.data());
    return out;
  }
  switch (hashBits) {
    case 160: CryptoPP::SHA1().CalculateDigest(out.data(), data, size); break;
    case 256: CryptoPP::SHA256().CalculateDigest(out.data(), data, size); break;
    case 384: CryptoPP::SHA384().CalculateDigest(out.data(), data, size); break;
    default: CryptoPP::SHA512().CalculateDigest(out.data(), data, size); break;
  }
  return out;
}

void Pbkdf2(HashingMethod hashing, int hashBits, std::string_view password, const uint8_t* salt, size_t saltSize,
            uint32_t iterations, uint8_t* out, size_t outSize) {
  if (!IsValidHashChoice(hashing, hashBits)) throw EngineError(ErrorKind::kUsage, "unsupported hash size");
  if (iterations == 0) throw EngineError(ErrorKind::kUsage, "iteration count must be at least 1");
  if (hashing == HashingMethod::kHaval) {
    Pbkdf2Haval(hashBits, password, salt, saltSize, iterations, out, outSize);
    return;
  }
  switch (hashBits) {
    case 160: Pbkdf2Cryptopp<CryptoPP::SHA1>(password, salt, saltSize, iterations, out, outSize); break;
    case 256: Pbkdf2Cryptopp<CryptoPP::SHA256>(password, salt, saltSize, iterations, out, outSize); break;
    case 384: Pbkdf2Cryptopp<CryptoPP::SHA384>(password, salt, saltSize, iterations, out, outSize); break;
    default: Pbkdf2Cryptopp<CryptoPP::SHA512>(password, salt, saltSize, iterations, out, outSize); break;
  }
}

}  // namespace vkcrypto::detail
