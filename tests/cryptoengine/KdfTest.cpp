// The hashes and the pass-phrase derivation against published vectors and
// against independent implementations (Crypto++'s PBKDF2, mhash's HMAC).
#include <cryptopp/pwdbased.h>
#include <cryptopp/sha.h>
#include <gtest/gtest.h>
#include <mhash.h>
#include <pthread.h>

#include <algorithm>
#include <cstring>

#include "TestFolder.h"
#include "cryptoengine/Kdf.h"

namespace vkcrypto {
namespace {

using testing::ToHex;

std::string DigestHex(HashingMethod hashing, int bits, const std::string& text) {
  return ToHex(detail::Digest(hashing, bits, reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

std::string Pbkdf2Hex(HashingMethod hashing, int bits, const std::string& password, const std::string& salt,
                      uint32_t iterations, size_t size) {
  Bytes out(size);
  detail::Pbkdf2(hashing, bits, password, reinterpret_cast<const uint8_t*>(salt.data()), salt.size(), iterations,
                 out.data(), out.size());
  return ToHex(out);
}

TEST(Hashes, HavalThreePassMatchesPublishedVectors) {
  EXPECT_EQ(DigestHex(HashingMethod::kHaval, 128, ""), "C68F39913F901F3DDF44C707357A7D70");
  EXPECT_EQ(DigestHex(HashingMethod::kHaval, 128, "a"), "0CD40739683E15F01CA5DBCEEF4059F1");
  EXPECT_EQ(DigestHex(HashingMethod::kHaval, 160, "a"), "4DA08F514A7275DBC4CECE4A347385983983A830");
  EXPECT_EQ(DigestHex(HashingMethod::kHaval, 128, "The quick brown fox jumps over the lazy dog"),
            "713502673D67E5FA557629A71D331945");
  EXPECT_EQ(DigestHex(HashingMethod::kHaval, 160, ""), "D353C3AE22A25401D257643836D7231A9A95F953");
  EXPECT_EQ(DigestHex(HashingMethod::kHaval, 192, ""), "E9C48D7903EAF2A91C5B350151EFCB175C0FC82DE2289A4E");
  EXPECT_EQ(DigestHex(HashingMethod::kHaval, 224, ""), "C5AAE9D47BFFCAAF84A8C6E7CCACD60A0DD1932BE7B1A192B9214B6D");
  EXPECT_EQ(DigestHex(HashingMethod::kHaval, 256, ""),
            "4F6938531F0BC8991F62DA7BBD6F7DE3FAD44562B8C6F4EBF146D5B4E46F7C17");
}

TEST(Hashes, ShaSizesMatchFips180Vectors) {
  EXPECT_EQ(DigestHex(HashingMethod::kSha2, 160, "abc"), "A9993E364706816ABA3E25717850C26C9CD0D89D");
  EXPECT_EQ(DigestHex(HashingMethod::kSha2, 256, "abc"),
            "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
  EXPECT_EQ(DigestHex(HashingMethod::kSha2, 384, "abc"),
            "CB00753F45A35E8BB5A03D699AC65007272C32AB0EDED1631A8B605A43FF5BED8086072BA1E7CC2358BAECA134C825A7");
  EXPECT_EQ(DigestHex(HashingMethod::kSha2, 512, "abc"),
            "DDAF35A193617ABACC417349AE20413112E6FA4E89A97EA20A9EEEE64B55D39A2192992A274FC1A836BA3C23A3FEEBBD"
            "454D4423643CE80E2A9AC94FA54CA49F");
}

TEST(Hashes, SizesOutsideTheirTableAreRefused) {
  EXPECT_FALSE(detail::IsValidHashChoice(HashingMethod::kSha2, 128));
  EXPECT_FALSE(detail::IsValidHashChoice(HashingMethod::kSha2, 224));
  EXPECT_FALSE(detail::IsValidHashChoice(HashingMethod::kHaval, 384));
  EXPECT_FALSE(detail::IsValidHashChoice(HashingMethod::kHaval, 512));
  EXPECT_THROW(DigestHex(HashingMethod::kHaval, 512, "x"), EngineError);
}

TEST(Pbkdf2, MatchesRfc6070AndSha256Vectors) {
  EXPECT_EQ(Pbkdf2Hex(HashingMethod::kSha2, 160, "password", "salt", 1, 20),
            "0C60C80F961F0E71F3A9B524AF6012062FE037A6");
  EXPECT_EQ(Pbkdf2Hex(HashingMethod::kSha2, 160, "password", "salt", 2, 20),
            "EA6C014DC72D6F8CCD1ED92ACE1D41F0D8DE8957");
  EXPECT_EQ(Pbkdf2Hex(HashingMethod::kSha2, 160, "password", "salt", 4096, 20),
            "4B007901B765489ABEAD49D926F721D065A429C1");
  EXPECT_EQ(Pbkdf2Hex(HashingMethod::kSha2, 160, "passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt",
                      4096, 25),
            "3D2EEC4FE41C849B80C8D83662C0E44A8B291A964CF2F07038");
  EXPECT_EQ(Pbkdf2Hex(HashingMethod::kSha2, 256, "password", "salt", 1, 32),
            "120FB6CFFCF8B32C43E7225256C4F837A86548C92CCC35480805987CB70BE17B");
  EXPECT_EQ(Pbkdf2Hex(HashingMethod::kSha2, 256, "password", "salt", 4096, 32),
            "C5E478D59288C841AA530DB6845C4C8D962893A001CE4E11A4963873AA98134A");
}

TEST(Pbkdf2, AgreesWithCryptoppForSha384And512AndLongPasswords) {
  const std::string longPassword(300, 'p');
  for (const std::string& password : {std::string("pass"), longPassword}) {
    Bytes expected(64);
    CryptoPP::PKCS5_PBKDF2_HMAC<CryptoPP::SHA512>().DeriveKey(
        expected.data(), expected.size(), 0, reinterpret_cast<const uint8_t*>(password.data()), password.size(),
        reinterpret_cast<const uint8_t*>("NaCl"), 4, 77);
    EXPECT_EQ(Pbkdf2Hex(HashingMethod::kSha2, 512, password, "NaCl", 77, 64), ToHex(expected));
    Bytes expected384(80);  // more than one block
    CryptoPP::PKCS5_PBKDF2_HMAC<CryptoPP::SHA384>().DeriveKey(
        expected384.data(), expected384.size(), 0, reinterpret_cast<const uint8_t*>(password.data()),
        password.size(), reinterpret_cast<const uint8_t*>("NaCl"), 4, 33);
    EXPECT_EQ(Pbkdf2Hex(HashingMethod::kSha2, 384, password, "NaCl", 33, 80), ToHex(expected384));
  }
}

// One PBKDF2 iteration of one block is HMAC(password, salt || 00000001):
// checked against mhash's own HMAC for every HAVAL size.
TEST(Pbkdf2, HavalFirstBlockIsMhashHmac) {
  const hashid ids[] = {MHASH_HAVAL128, MHASH_HAVAL160, MHASH_HAVAL192, MHASH_HAVAL224, MHASH_HAVAL256};
  const int sizes[] = {128, 160, 192, 224, 256};
  std::string longKey(200, 'k');
  for (const std::string& password : {std::string("password"), longKey}) {
    for (int i = 0; i < 5; ++i) {
      MHASH h = mhash_hmac_init(ids[i], const_cast<char*>(password.data()), uint32_t(password.size()), mhash_get_hash_pblock(ids[i]));
      const uint8_t message[] = {'s', 'a', 'l', 't', 0, 0, 0, 1};
      mhash(h, message, sizeof message);
      Bytes mac(size_t(sizes[i]) / 8);
      mhash_hmac_deinit(h, mac.data());
      EXPECT_EQ(Pbkdf2Hex(HashingMethod::kHaval, sizes[i], password, "salt", 1, mac.size()), ToHex(mac))
          << sizes[i];
    }
  }
  // The documented vector of the derivation over HAVAL (docs/engine-format.md).
  EXPECT_EQ(Pbkdf2Hex(HashingMethod::kHaval, 128, "password", "salt", 2, 32),
            "E0D8A8DE9E506A7FC15EDFF7EF588B6A70D556165458B56FEB7C870592E9E1F7");
}

// The derivation runs on a stack the test owns, which is searched afterwards
// for the password and for the two HMAC pads made from it.
TEST(Pbkdf2, LeavesNoCopyOfThePasswordOnTheStack) {
  static const std::string password = "correct horse battery staple";
  for (const auto& [hashing, bits] : {std::pair(HashingMethod::kHaval, 256), std::pair(HashingMethod::kHaval, 128),
                                      std::pair(HashingMethod::kSha2, 160), std::pair(HashingMethod::kSha2, 512)}) {
    static HashingMethod runHashing;
    static int runBits;
    runHashing = hashing;
    runBits = bits;
    std::vector<uint8_t> stack(1 << 20, 0);
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstack(&attributes, stack.data(), stack.size());
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attributes,
                             [](void*) -> void* {
                               uint8_t key[32];
                               detail::Pbkdf2(runHashing, runBits, password, reinterpret_cast<const uint8_t*>("salt"),
                                              4, 3, key, sizeof key);
                               return nullptr;
                             },
                             nullptr),
              0);
    pthread_join(thread, nullptr);
    for (uint8_t mask : {0x00, 0x36, 0x5c}) {
      std::string form = password.substr(0, 12);
      for (char& c : form) c = char(c ^ mask);
      EXPECT_EQ(std::search(stack.begin(), stack.end(), form.begin(), form.end()), stack.end()) << bits << "/" << int(mask);
    }
  }
}

TEST(Pbkdf2, DefaultCountsFollowCurrentGuidance) {
  EXPECT_EQ(CryptoEngine::DefaultIterations(HashingMethod::kSha2, 160), 1'300'000u);
  EXPECT_EQ(CryptoEngine::DefaultIterations(HashingMethod::kSha2, 256), 600'000u);
  EXPECT_EQ(CryptoEngine::DefaultIterations(HashingMethod::kSha2, 384), 210'000u);
  EXPECT_EQ(CryptoEngine::DefaultIterations(HashingMethod::kSha2, 512), 210'000u);
  for (int bits : {128, 160, 192, 224, 256}) {
    EXPECT_EQ(CryptoEngine::DefaultIterations(HashingMethod::kHaval, bits), 1'300'000u);
  }
}

}  // namespace
}  // namespace vkcrypto
