#pragma once

// What the engine's fuzz targets share: the password and private key the
// seed corpora were made with, and a guard against derivation counts that
// would only measure PBKDF2.

#include <cstddef>
#include <cstdint>

#include "cryptoengine/CryptoEngine.h"

namespace vkfuzz {

inline constexpr const char* kPassword = "password";
inline constexpr uint32_t kMaxFuzzIterations = 1000;

// True when data is password-encrypted with a count above the guard that
// the engine would still derive with.
bool TooCostly(const uint8_t* data, size_t size);

// An engine keyed with kPassword and the 512-bit private key of the seeds.
vkcrypto::CryptoEngine& SeedEngine();

}  // namespace vkfuzz
