#pragma once

// The hashes the pass-phrase derivation is driven by (SHA-1, SHA-2 and the
// 3-pass HAVAL) and PBKDF2-HMAC over each of them.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "cryptoengine/CryptoEngine.h"

namespace vkcrypto::detail {

// True for the sizes a hashing method offers (SHA-2: 160 = SHA-1, 256, 384,
// 512; HAVAL: 128, 160, 192, 224, 256).
bool IsValidHashChoice(HashingMethod hashing, int hashBits);

// The plain digest of data; used by the tests against published vectors.
Bytes Digest(HashingMethod hashing, int hashBits, const uint8_t* data, size_t size);

// Called every kTickIterations iterations of a derivation; throwing from it
// stops the derivation, which is how a caller cancels one.
using DerivationTick = std::function<void()>;
inline constexpr uint32_t kTickIterations = 8192;

// PBKDF2 (RFC 8018) with HMAC over the chosen hash, written into out. No
// copy of the password or of the HMAC pads is left in memory afterwards.
void Pbkdf2(HashingMethod hashing, int hashBits, std::string_view password, const uint8_t* salt, size_t saltSize,
            uint32_t iterations, uint8_t* out, size_t outSize, const DerivationTick& tick = {});

}  // namespace vkcrypto::detail
