#include "cryptoengine/Kdf.h"

#include <cryptopp/secblock.h>
#include <cryptopp/sha.h>
#include <mhash.h>

#include <algorithm>
#include <cstring>

namespace vkcrypto::detail {
namespace {

constexpr size_t kMaxBlock = 128;   // SHA-384, SHA-512 and HAVAL
constexpr size_t kMaxDigest = 64;

// A Crypto++ hash as PBKDF2 drives it: restarted from a keyed state by
// copying it.
template <class Hash>
class CryptoppState {
 public:
  static constexpr size_t kBlock = Hash::BLOCKSIZE;
  size_t DigestSize() const { return Hash::DIGESTSIZE; }
  void Restart(const CryptoppState& from) { hash_ = from.hash_; }
  void Update(const uint8_t* data, size_t size) { hash_.Update(data, size); }
  void Final(uint8_t* out) { hash_.Final(out); }

 private:
  Hash hash_;
};

hashid HavalId(int hashBits) {
  switch (hashBits) {
    case 128: return MHASH_HAVAL128;
    case 160: return MHASH_HAVAL160;
    case 192: return MHASH_HAVAL192;
    case 224: return MHASH_HAVAL224;
    default: return MHASH_HAVAL256;
  }
}

// One mhash HAVAL state for a whole derivation. Restarting copies the keyed
// state's bytes into this one, and finishing writes the digest without
// freeing it: mhash's own copy and finish would allocate and free a state
// for each half of each iteration, which cost more than the hashing.
class HavalState {
 public:
  static constexpr size_t kBlock = 128;  // HAVAL works on 1024-bit blocks

  explicit HavalState(int hashBits) : digestSize_(size_t(hashBits) / 8), h_(mhash_init(HavalId(hashBits))) {
    if (h_ == MHASH_FAILED) throw EngineError(ErrorKind::kUsage, "the HAVAL hash is not available");
    fresh_.Assign(h_->state, h_->state_size);
  }
  ~HavalState() {
    // The state holds what was hashed last (the pads, the password): it is
    // overwritten with the fresh state before mhash frees it.
    std::memcpy(h_->state, fresh_.data(), fresh_.size());
    mhash_deinit(h_, nullptr);
  }
  HavalState(const HavalState&) = delete;
  HavalState& operator=(const HavalState&) = delete;

  size_t DigestSize() const { return digestSize_; }
  void Restart(const HavalState& from) { std::memcpy(h_->state, from.h_->state, h_->state_size); }
  void Update(const uint8_t* data, size_t size) { h_->hash_func(h_->state, data, int(size)); }
  // The state is good again only after a Restart.
  void Final(uint8_t* out) {
    if (h_->final_func != nullptr) h_->final_func(h_->state);
    if (h_->deinit_func != nullptr) h_->deinit_func(h_->state, out);
  }

 private:
  size_t digestSize_;
  MHASH h_;
  CryptoPP::SecByteBlock fresh_;
};

// PBKDF2 keeps the hash state after the padded key block for both HMAC
// halves and restarts from it for each iteration: two compressions an
// iteration instead of the four a fresh HMAC per iteration costs, so the
// guidance-level counts stay quick for the user at the same cost to an
// attacker. Every buffer that held the password or a pad is wiped on the
// way out, exceptions included.
template <class State, class Make>
void Pbkdf2With(const Make& make, std::string_view password, const uint8_t* salt, size_t saltSize,
                uint32_t iterations, uint8_t* out, size_t outSize, const DerivationTick& tick) {
  constexpr size_t kBlock = State::kBlock;
  CryptoPP::FixedSizeSecBlock<uint8_t, kMaxBlock> key;
  std::memset(key.data(), 0, kBlock);
  State inner = make();
  const size_t digest = inner.DigestSize();
  if (password.size() > kBlock) {
    inner.Update(reinterpret_cast<const uint8_t*>(password.data()), password.size());
    inner.Final(key.data());
  } else {
    std::memcpy(key.data(), password.data(), password.size());
  }
  CryptoPP::FixedSizeSecBlock<uint8_t, kMaxBlock> pad;
  State innerStart = make();
  State outerStart = make();
  for (size_t i = 0; i < kBlock; ++i) pad[i] = key[i] ^ 0x36;
  innerStart.Update(pad.data(), kBlock);
  for (size_t i = 0; i < kBlock; ++i) pad[i] = key[i] ^ 0x5c;
  outerStart.Update(pad.data(), kBlock);
  State outer = make();

  const bool ticking = bool(tick);
  CryptoPP::FixedSizeSecBlock<uint8_t, kMaxDigest> u;
  CryptoPP::FixedSizeSecBlock<uint8_t, kMaxDigest> t;
  for (uint32_t block = 1; outSize > 0; ++block) {
    const uint8_t index[4] = {uint8_t(block >> 24), uint8_t(block >> 16), uint8_t(block >> 8), uint8_t(block)};
    inner.Restart(innerStart);
    inner.Update(salt, saltSize);
    inner.Update(index, 4);
    inner.Final(u.data());
    outer.Restart(outerStart);
    outer.Update(u.data(), digest);
    outer.Final(u.data());
    std::memcpy(t.data(), u.data(), digest);
    for (uint32_t round = 1; round < iterations; ++round) {
      inner.Restart(innerStart);
      inner.Update(u.data(), digest);
      inner.Final(u.data());
      outer.Restart(outerStart);
      outer.Update(u.data(), digest);
      outer.Final(u.data());
      for (size_t i = 0; i < digest; ++i) t[i] ^= u[i];
      if (ticking && round % kTickIterations == 0) tick();
    }
    const size_t take = std::min(outSize, digest);
    std::memcpy(out, t.data(), take);
    out += take;
    outSize -= take;
  }
}

template <class Hash>
void Pbkdf2Cryptopp(std::string_view password, const uint8_t* salt, size_t saltSize, uint32_t iterations,
                    uint8_t* out, size_t outSize, const DerivationTick& tick) {
  Pbkdf2With<CryptoppState<Hash>>([] { return CryptoppState<Hash>(); }, password, salt, saltSize, iterations, out,
                                  outSize, tick);
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
    HavalState h(hashBits);
    h.Update(data, size);
    h.Final(out.data());
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
            uint32_t iterations, uint8_t* out, size_t outSize, const DerivationTick& tick) {
  if (!IsValidHashChoice(hashing, hashBits)) throw EngineError(ErrorKind::kUsage, "unsupported hash size");
  if (iterations == 0) throw EngineError(ErrorKind::kUsage, "iteration count must be at least 1");
  if (hashing == HashingMethod::kHaval) {
    // Guaranteed copy elision: the states are neither copied nor moved.
    Pbkdf2With<HavalState>([hashBits] { return HavalState(hashBits); }, password, salt, saltSize, iterations, out,
                           outSize, tick);
    return;
  }
  switch (hashBits) {
    case 160: Pbkdf2Cryptopp<CryptoPP::SHA1>(password, salt, saltSize, iterations, out, outSize, tick); break;
    case 256: Pbkdf2Cryptopp<CryptoPP::SHA256>(password, salt, saltSize, iterations, out, outSize, tick); break;
    case 384: Pbkdf2Cryptopp<CryptoPP::SHA384>(password, salt, saltSize, iterations, out, outSize, tick); break;
    default: Pbkdf2Cryptopp<CryptoPP::SHA512>(password, salt, saltSize, iterations, out, outSize, tick); break;
  }
}

}  // namespace vkcrypto::detail
