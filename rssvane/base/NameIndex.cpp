#include "base/NameIndex.h"

#include <sys/random.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace rssvane {

namespace {

struct HashKey {
  uint64_t k0, k1;
};

HashKey DrawKey() noexcept {
  HashKey key{};
  if (::getrandom(&key, sizeof key, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof key)) {
    // Without the kernel's generator (very early boot) a key that differs
    // between processes and runs still spoils collisions prepared beforehand.
    uint64_t now = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    key.k0 = now ^ reinterpret_cast<uintptr_t>(&key) ^ 0x736f6d6570736575ull;
    key.k1 = (now * 0x9E3779B97F4A7C15ull) ^ static_cast<uint64_t>(::getpid());
  }
  return key;
}

inline uint64_t Rotl(uint64_t x, int b) noexcept { return (x << b) | (x >> (64 - b)); }

struct SipState {
  uint64_t v0, v1, v2, v3;
  void Round() noexcept {
    v0 += v1;
    v1 = Rotl(v1, 13);
    v1 ^= v0;
    v0 = Rotl(v0, 32);
    v2 += v3;
    v3 = Rotl(v3, 16);
    v3 ^= v2;
    v0 += v3;
    v3 = Rotl(v3, 21);
    v3 ^= v0;
    v2 += v1;
    v1 = Rotl(v1, 17);
    v1 ^= v2;
    v2 = Rotl(v2, 32);
  }
};

}  // namespace

uint64_t KeyedNameHash(std::string_view name) noexcept {
  static const HashKey key = DrawKey();
  SipState s{key.k0 ^ 0x736f6d6570736575ull, key.k1 ^ 0x646f72616e646f6dull, key.k0 ^ 0x6c7967656e657261ull,
             key.k1 ^ 0x7465646279746573ull};
  const unsigned char* p = reinterpret_cast<const unsigned char*>(name.data());
  size_t left = name.size();
  for (; left >= 8; p += 8, left -= 8) {
    uint64_t m;
    std::memcpy(&m, p, 8);
    s.v3 ^= m;
    s.Round();
    s.v0 ^= m;
  }
  uint64_t last = static_cast<uint64_t>(name.size()) << 56;
  for (size_t i = 0; i < left; ++i) last |= static_cast<uint64_t>(p[i]) << (8 * i);
  s.v3 ^= last;
  s.Round();
  s.v0 ^= last;
  s.v2 ^= 0xff;
  s.Round();
  s.Round();
  s.Round();
  return s.v0 ^ s.v1 ^ s.v2 ^ s.v3;
}

NameIndex::~NameIndex() { std::free(slots_); }

void NameIndex::Clear() noexcept {
  std::free(slots_);
  slots_ = nullptr;
  mask_ = 0;
  count_ = 0;
}

int NameIndex::Grow() noexcept {
  size_t capacity = slots_ ? (mask_ + 1) * 2 : 64;
  auto* fresh = static_cast<Slot*>(std::calloc(capacity, sizeof(Slot)));
  if (!fresh) return kErrOutOfMemory;
  size_t mask = capacity - 1;
  if (slots_) {
    for (size_t i = 0; i <= mask_; ++i) {
      if (slots_[i].position == 0) continue;
      size_t j = slots_[i].home & mask;
      while (fresh[j].position != 0) j = (j + 1) & mask;
      fresh[j] = slots_[i];
    }
  }
  std::free(slots_);
  slots_ = fresh;
  mask_ = mask;
  return 0;
}

}  // namespace rssvane
