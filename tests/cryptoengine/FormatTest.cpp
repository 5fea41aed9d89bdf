// The documented format: its vectors, and that every change to sealed data
// is an error and never output.
#include <cryptopp/gcm.h>
#include <cryptopp/hkdf.h>
#include <cryptopp/sha.h>
#include <cryptopp/twofish.h>
#include <gtest/gtest.h>
#include <mhash.h>

#include <array>
#include <cstring>

#include "TestFolder.h"
#include "cryptoengine/Format.h"
#include "cryptoengine/Kdf.h"

namespace vkcrypto {
namespace {

using testing::FromHex;
using testing::Text;
using testing::ToHex;

struct Vector {
  uint8_t kind;
  Method cipher;
  int keyBits;
  HashingMethod hashing;
  int hashBits;
  std::string password;
  std::string plain;
  std::string key;
  std::string sealed;
};

const std::string kPrefix = "000003E8000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F";

const Vector kVectors[] = {
    {detail::kKindMessage, Method::kRijndael, 128, HashingMethod::kSha2, 160, "password", "Velkor",
     "0309E2FE4E0BDFE7D0FE4828D41C2344", "564B014D01100114" + kPrefix + "70812627D061BCC264389D57A60830BDFCB523BFA8FA"},
    {detail::kKindMessage, Method::kTwofish, 256, HashingMethod::kHaval, 256, "correct horse", "",
     "D70DBBF866A6B2B06E54EF52C53302DB2076BB90DB799B5DD74E655F9D1B753A",
     "564B014D02200220" + kPrefix + "4D30BA9E30947C2524BBE02711008864"},
    {detail::kKindFile, Method::kRijndael, 256, HashingMethod::kSha2, 512, "Velkor File & Message Crypt", "abc",
     "57D32128F27025212A9F7942FBD312B5CC22451B02A2B09821169EAF99E89B85",
     "564B014601200140" + kPrefix + "3C645EC1B78129EAF17C1AE0C947E1CAE977F0"},
};

detail::PasswordHeader VectorHeader(const Vector& v) {
  detail::PasswordHeader header;
  header.kind = v.kind;
  header.cipher = v.cipher;
  header.keyBits = v.keyBits;
  header.hashing = v.hashing;
  header.hashBits = v.hashBits;
  header.iterations = 1000;
  for (int i = 0; i < 16; ++i) {
    header.salt[size_t(i)] = uint8_t(i);
    header.nonce[size_t(i)] = uint8_t(0x10 + i);
  }
  return header;
}

TEST(FormatVectors, SealingGivesTheDocumentedBytes) {
  for (const Vector& v : kVectors) {
    const detail::PasswordHeader header = VectorHeader(v);
    Bytes key(size_t(v.keyBits) / 8);
    detail::Pbkdf2(v.hashing, v.hashBits, v.password, header.salt.data(), 16, 1000, key.data(), key.size());
    EXPECT_EQ(ToHex(key), v.key);
    Bytes sealed;
    if (v.kind == detail::kKindMessage) {
      sealed = detail::SealMessage(header, key.data(), reinterpret_cast<const uint8_t*>(v.plain.data()), v.plain.size());
    } else {
      size_t at = 0;
      detail::SealStream(
          header, key.data(),
          [&](uint8_t* buffer, size_t size) {
            const size_t take = std::min(size, v.plain.size() - at);
            std::memcpy(buffer, v.plain.data() + at, take);
            at += take;
            return take;
          },
          [&](const uint8_t* data, size_t size) { sealed.insert(sealed.end(), data, data + size); }, {});
    }
    EXPECT_EQ(ToHex(sealed), v.sealed);
  }
}

TEST(FormatVectors, DocumentedBytesDecryptWithOnlyThePassword) {
  for (const Vector& v : kVectors) {
    CryptoEngine engine;
    // Settings that differ from the vector's: decryption follows the header.
    engine.SetMethod(Method::kTwofish);
    engine.SetSecretKeyFromPassPhrase(v.password, 192);
    engine.SetHashingMethod(HashingMethod::kHaval);
    engine.SetHashSize(128);
    EXPECT_EQ(engine.DecryptBuffer(FromHex(v.sealed)), Text(v.plain));
  }
}

// HMAC over mhash's HAVAL with the documented 128-byte block, and PBKDF2 as
// RFC 8018 writes it: nothing of the engine's derivation is used.
Bytes MhashHmac(hashid hash, const std::string& key, const Bytes& message) {
  MHASH h = mhash_hmac_init(hash, const_cast<char*>(key.data()), uint32_t(key.size()), 128);
  mhash(h, message.data(), uint32_t(message.size()));
  Bytes mac(mhash_get_block_size(hash));
  mhash_hmac_deinit(h, mac.data());
  return mac;
}

Bytes MhashPbkdf2(hashid hash, const std::string& password, const Bytes& salt, uint32_t count, size_t size) {
  Bytes out;
  for (uint32_t block = 1; out.size() < size; ++block) {
    Bytes message = salt;
    for (int shift = 24; shift >= 0; shift -= 8) message.push_back(uint8_t(block >> shift));
    Bytes u = MhashHmac(hash, password, message);
    Bytes t = u;
    for (uint32_t i = 1; i < count; ++i) {
      u = MhashHmac(hash, password, u);
      for (size_t k = 0; k < t.size(); ++k) t[k] ^= u[k];
    }
    out.insert(out.end(), t.begin(), t.end());
  }
  out.resize(size);
  return out;
}

// Vectors 2 and 4 (HAVAL, Twofish) from mhash and Crypto++'s Twofish-GCM
// directly, following the document, as an independent reader would.
TEST(FormatVectors, TwofishAndHavalVectorsFromOtherImplementations) {
  EXPECT_EQ(ToHex(MhashPbkdf2(MHASH_HAVAL128, "password", Text("salt"), 2, 32)),
            "E0D8A8DE9E506A7FC15EDFF7EF588B6A70D556165458B56FEB7C870592E9E1F7");

  const Vector& v = kVectors[1];
  const Bytes sealed = FromHex(v.sealed);
  const Bytes header(sealed.begin(), sealed.begin() + 44);
  const Bytes salt(header.begin() + 12, header.begin() + 28);
  const Bytes nonce(header.begin() + 28, header.end());
  const Bytes key = MhashPbkdf2(MHASH_HAVAL256, v.password, salt, 1000, 32);
  EXPECT_EQ(ToHex(key), v.key);
  Bytes objectKey(32);
  const std::string info = "VK1 message";
  CryptoPP::HKDF<CryptoPP::SHA256>().DeriveKey(objectKey.data(), 32, key.data(), 32, nonce.data(), nonce.size(),
                                               reinterpret_cast<const uint8_t*>(info.data()), info.size());
  CryptoPP::GCM<CryptoPP::Twofish>::Encryption gcm;
  const uint8_t iv[12] = {};
  gcm.SetKeyWithIV(objectKey.data(), 32, iv, 12);
  Bytes tag(16);
  gcm.EncryptAndAuthenticate(nullptr, tag.data(), 16, iv, 12, header.data(), header.size(), nullptr, 0);
  EXPECT_EQ(ToHex(header) + ToHex(tag), v.sealed);
}

TEST(FormatVectors, HeaderRoundTripsAndRefusesValuesOutsideItsTables) {
  detail::PasswordHeader header = VectorHeader(kVectors[1]);
  header.iterations = 13'000'000;  // the most a reader accepts
  const detail::HeaderBytes bytes = detail::EncodeHeader(header);
  const detail::PasswordHeader back = detail::ParseHeader(bytes.data(), bytes.size());
  EXPECT_EQ(back.iterations, 13'000'000u);
  EXPECT_EQ(back.cipher, Method::kTwofish);
  EXPECT_EQ(back.keyBits, 256);
  EXPECT_EQ(back.hashing, HashingMethod::kHaval);
  EXPECT_EQ(back.hashBits, 256);
  EXPECT_EQ(back.salt, header.salt);
  EXPECT_EQ(back.nonce, header.nonce);

  auto kindOf = [&](size_t at, uint8_t value) {
    detail::HeaderBytes changed = bytes;
    changed[at] = value;
    try {
      detail::ParseHeader(changed.data(), changed.size());
    } catch (const EngineError& e) {
      return std::make_pair(e.Kind(), std::string(e.what()));
    }
    return std::make_pair(ErrorKind::kUsage, std::string("parsed"));
  };
  const auto damaged = std::make_pair(ErrorKind::kWrongPasswordOrDamaged, std::string("wrong password or damaged data"));
  EXPECT_EQ(kindOf(0, 'X'), std::make_pair(ErrorKind::kUnsupportedFormat, std::string("not data encrypted by this program")));
  EXPECT_EQ(kindOf(2, 2), std::make_pair(ErrorKind::kUnsupportedFormat, std::string("unsupported format version")));
  EXPECT_EQ(kindOf(3, 'Q'), damaged);
  EXPECT_EQ(kindOf(4, 3), damaged);
  EXPECT_EQ(kindOf(5, 0x11), damaged);
  EXPECT_EQ(kindOf(6, 0), damaged);
  EXPECT_EQ(kindOf(7, 0x40), damaged);  // HAVAL has no 512
  EXPECT_EQ(kindOf(11, 0x41),  // one more
            std::make_pair(ErrorKind::kUnsupportedFormat,
                           std::string("the key derivation asks for 13000001 iterations, more than the 13000000 "
                                       "this program allows: the data is damaged or made to stall its reader")));
  EXPECT_THROW(detail::ParseHeader(bytes.data(), 43), EngineError);
}

class Tampering : public ::testing::Test {
 protected:
  void SetUp() override {
    engine_.SetMethod(Method::kTwofish);
    engine_.SetSecretKeyFromPassPhrase("secret", 192);
    engine_.SetHashingMethod(HashingMethod::kSha2);
    engine_.SetHashSize(256);
    engine_.SetKdfIterationsForTesting(10);
  }

  // Decrypting the file gives a wrong-password-or-damage or format error and
  // leaves nothing at the destination.
  void ExpectRefused(const Bytes& sealed, const std::string& what) {
    testing::WriteFile(folder_.File("in.vkf"), sealed);
    try {
      engine_.DecryptFile(folder_.File("in.vkf"), folder_.File("out.txt"));
      ADD_FAILURE() << what << ": decrypted";
    } catch (const EngineError& e) {
      EXPECT_TRUE(e.Kind() == ErrorKind::kWrongPasswordOrDamaged || e.Kind() == ErrorKind::kUnsupportedFormat)
          << what << ": " << e.what();
    }
    EXPECT_EQ(folder_.Names(), std::vector<std::string>{"in.vkf"}) << what;
  }

  CryptoEngine engine_;
  testing::TestFolder folder_;
};

TEST_F(Tampering, EveryFlippedByteOfASmallFileIsRefused) {
  testing::WriteFile(folder_.File("plain.txt"), Text("a small file to seal"));
  engine_.EncryptFile(folder_.File("plain.txt"), folder_.File("sealed.vkf"));
  const Bytes sealed = testing::ReadFile(folder_.File("sealed.vkf"));
  ASSERT_EQ(sealed.size(), 44u + 20u + 16u);
  std::filesystem::remove(folder_.File("plain.txt"));
  std::filesystem::remove(folder_.File("sealed.vkf"));
  for (size_t at = 0; at < sealed.size(); ++at) {
    // The two high bytes of the iteration count are flipped to values that
    // stay cheap to refuse (beyond the limit, or a small count), not to the
    // millions of iterations a reader would honestly run before failing.
    std::array<uint8_t, 2> masks = {0x01, 0x80};
    if (at == 8) masks = {0x80, 0x40};
    if (at == 9) masks = {0x01, 0x02};
    for (uint8_t mask : masks) {
      Bytes changed = sealed;
      changed[at] ^= mask;
      ExpectRefused(changed, "byte " + std::to_string(at));
    }
  }
}

TEST_F(Tampering, CutAppendedReorderedAndDroppedChunksAreRefused) {
  Bytes plain(3 * detail::kChunkSize + 100);
  for (size_t i = 0; i < plain.size(); ++i) plain[i] = uint8_t(i * 7);
  testing::WriteFile(folder_.File("plain.bin"), plain);
  engine_.EncryptFile(folder_.File("plain.bin"), folder_.File("sealed.vkf"));
  const Bytes sealed = testing::ReadFile(folder_.File("sealed.vkf"));
  std::filesystem::remove(folder_.File("plain.bin"));
  std::filesystem::remove(folder_.File("sealed.vkf"));
  const size_t chunk = detail::kChunkSize + detail::kTagSize;
  ASSERT_EQ(sealed.size(), 44 + 3 * chunk + 116);

  for (size_t cut : {size_t(0), size_t(3), size_t(43), size_t(44), size_t(59), 44 + chunk, 44 + 3 * chunk,
                     sealed.size() - 1}) {
    ExpectRefused(Bytes(sealed.begin(), sealed.begin() + long(cut)), "cut at " + std::to_string(cut));
  }
  Bytes appended = sealed;
  appended.push_back(0);
  ExpectRefused(appended, "one byte appended");
  appended.insert(appended.end(), chunk, 0x55);
  ExpectRefused(appended, "a chunk appended");

  Bytes swapped = sealed;
  std::swap_ranges(swapped.begin() + 44, swapped.begin() + long(44 + chunk), swapped.begin() + long(44 + chunk));
  ExpectRefused(swapped, "chunks 0 and 1 swapped");
  Bytes dropped = sealed;
  dropped.erase(dropped.begin() + long(44 + chunk), dropped.begin() + long(44 + 2 * chunk));
  ExpectRefused(dropped, "chunk 1 dropped");
}

// Files of more than one batch of chunks are read 16 chunks at a time, half
// on a second thread: a cut at the batch boundary or a change in the second
// half of a batch is still found.
TEST_F(Tampering, ChangesAcrossBatchesAreRefused) {
  const size_t chunk = detail::kChunkSize + detail::kTagSize;
  testing::WriteFile(folder_.File("plain.bin"), Bytes(32 * detail::kChunkSize, 0x42));
  engine_.EncryptFile(folder_.File("plain.bin"), folder_.File("sealed.vkf"));
  const Bytes sealed = testing::ReadFile(folder_.File("sealed.vkf"));
  engine_.DecryptFile(folder_.File("sealed.vkf"), folder_.File("back.bin"));
  EXPECT_EQ(testing::ReadFile(folder_.File("back.bin")), Bytes(32 * detail::kChunkSize, 0x42));
  for (const char* name : {"plain.bin", "sealed.vkf", "back.bin"}) std::filesystem::remove(folder_.File(name));
  ASSERT_EQ(sealed.size(), 44 + 32 * chunk + 16);  // and an empty last chunk

  ExpectRefused(Bytes(sealed.begin(), sealed.begin() + long(44 + 16 * chunk)), "cut after the first batch");
  ExpectRefused(Bytes(sealed.begin(), sealed.begin() + long(44 + 32 * chunk)), "empty last chunk dropped");
  for (size_t at : {44 + 12 * chunk + 5, 44 + 20 * chunk + 7, 44 + 31 * chunk + 3, sealed.size() - 1}) {
    Bytes changed = sealed;
    changed[at] ^= 0x04;
    ExpectRefused(changed, "byte " + std::to_string(at));
  }
}

TEST_F(Tampering, WrongPasswordAndForeignDataAreRefusedWithTheirMessages) {
  const Bytes sealed = engine_.EncryptBuffer(Text("message"));
  CryptoEngine other;
  other.SetSecretKeyFromPassPhrase("Secret", 192);
  try {
    other.DecryptBuffer(sealed);
    FAIL() << "decrypted with the wrong password";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.Kind(), ErrorKind::kWrongPasswordOrDamaged);
    EXPECT_STREQ(e.what(), "wrong password or damaged data");
  }
  Bytes otherCipher = sealed;
  otherCipher[4] = 1;  // claims Rijndael
  EXPECT_THROW(engine_.DecryptBuffer(otherCipher), EngineError);
  try {
    engine_.DecryptBuffer(Text("plain text, not ours"));
    FAIL();
  } catch (const EngineError& e) {
    EXPECT_EQ(e.Kind(), ErrorKind::kUnsupportedFormat);
    EXPECT_STREQ(e.what(), "not data encrypted by this program");
  }
  Bytes future = sealed;
  future[2] = 2;
  try {
    engine_.DecryptBuffer(future);
    FAIL();
  } catch (const EngineError& e) {
    EXPECT_STREQ(e.what(), "unsupported format version");
  }
  ExpectRefused(Bytes(), "an empty file");
  ExpectRefused(sealed, "a message given as a file");
}

}  // namespace
}  // namespace vkcrypto
