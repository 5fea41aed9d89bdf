#include "cryptoengine/PrimeSearch.h"

#include <cryptopp/argnames.h>

namespace vkcrypto::detail {

CryptoPP::InvertibleRSAFunction GenerateRsaKey(CryptoPP::RandomNumberGenerator& rng, int bits) {
  CryptoPP::InvertibleRSAFunction key;
  key.GenerateRandom(rng, CryptoPP::MakeParameters(CryptoPP::Name::ModulusSize(), bits)(
                              CryptoPP::Name::PublicExponent(), CryptoPP::Integer(65537)));
  return key;
}

}  // namespace vkcrypto::detail
