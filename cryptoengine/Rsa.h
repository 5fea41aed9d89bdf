#pragma once

// RSA key pairs as PKCS #1 DER bytes, and the RSA message form: a random
// content key wrapped with OAEP, the message under AES-GCM with that key.

#include <cryptopp/rsa.h>

#include "cryptoengine/CryptoEngine.h"

namespace vkcrypto::detail {

inline constexpr int kMinKeyBits = 64;
inline constexpr int kMaxKeyBits = 16384;

// One of the ten sizes the key pair view offers (128 to 7128 bits).
bool IsOfferedKeySize(int bits);

CryptoPP::InvertibleRSAFunction GenerateKeyPair(int bits, const Progress& progress);

Bytes EncodePublicKey(const CryptoPP::RSAFunction& key);
Bytes EncodePrivateKey(const CryptoPP::InvertibleRSAFunction& key);
// kBadKey for bytes that are not one whole, consistent key of the kind.
CryptoPP::RSAFunction DecodePublicKey(const Bytes& der);
CryptoPP::InvertibleRSAFunction DecodePrivateKey(const Bytes& der);

Bytes RsaSeal(const CryptoPP::RSAFunction& key, const Bytes& plain);
Bytes RsaOpen(const CryptoPP::InvertibleRSAFunction& key, const Bytes& sealed);

}  // namespace vkcrypto::detail
