#pragma once

// RSA key generation: two primes of half the modulus size each, public
// exponent 65537, a modulus of exactly the bits asked for.

#include <cryptopp/rsa.h>

namespace vkcrypto::detail {

CryptoPP::InvertibleRSAFunction GenerateRsaKey(CryptoPP::RandomNumberGenerator& rng, int bits);

}  // namespace vkcrypto::detail
