#pragma once

// RSA key generation: two primes of half the modulus size each, public
// exponent 65537, a modulus of exactly the bits asked for.

#include <cryptopp/rsa.h>

#include "cryptoengine/CryptoEngine.h"

namespace vkcrypto::detail {

// progress(0, 0) is asked before every prime candidate is tested (a few
// milliseconds apart at the largest sizes); false stops with kCancelled.
CryptoPP::InvertibleRSAFunction GenerateRsaKey(CryptoPP::RandomNumberGenerator& rng, int bits,
                                               const Progress& progress);

}  // namespace vkcrypto::detail
