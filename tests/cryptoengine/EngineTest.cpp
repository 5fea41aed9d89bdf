// The engine as the application calls it: every cipher choice round trips for
// buffers and files, one derivation serves a whole store, files are replaced
// only on success, and progress can cancel.
#include <cryptopp/pwdbased.h>
#include <cryptopp/sha.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "TestFolder.h"
#include "cryptoengine/Format.h"
#include "cryptoengine/Kdf.h"
#include "cryptoengine/SafeFile.h"
#include "vk/Version.h"

namespace vkcrypto {
namespace {

using testing::Pattern;
using testing::Text;

struct Choice {
  Method cipher;
  int keyBits;
  HashingMethod hashing;
  int hashBits;
};

std::vector<Choice> AllChoices() {
  std::vector<Choice> choices;
  for (Method cipher : {Method::kRijndael, Method::kTwofish}) {
    for (int keyBits : {128, 192, 256}) {
      for (int hashBits : {160, 256, 384, 512}) choices.push_back({cipher, keyBits, HashingMethod::kSha2, hashBits});
      for (int hashBits : {128, 160, 192, 224, 256}) {
        choices.push_back({cipher, keyBits, HashingMethod::kHaval, hashBits});
      }
    }
  }
  return choices;
}

// The set-up calls in the order the views make them.
void SetUpEngine(CryptoEngine& engine, const Choice& choice, const std::string& password) {
  engine.SetMethod(choice.cipher);
  engine.SetSecretKeyFromPassPhrase(password, choice.keyBits);
  engine.SetHashingMethod(choice.hashing);
  engine.SetHashSize(choice.hashBits);
}

TEST(RoundTrip, EveryChoiceForBuffersAndFilesOfBoundarySizes) {
  const size_t chunk = detail::kChunkSize;
  const std::vector<size_t> sizes = {0, 1, chunk - 1, chunk, chunk + 1, 2 * chunk, 3 * 1024 * 1024 + 5};
  testing::TestFolder folder;
  std::vector<Bytes> plains;
  for (size_t size : sizes) plains.push_back(Pattern(size, uint8_t(size)));
  int index = 0;
  for (const Choice& choice : AllChoices()) {
    CryptoEngine writer;
    SetUpEngine(writer, choice, "pass phrase " + std::to_string(index));
    writer.SetKdfIterationsForTesting(3);
    CryptoEngine reader;
    reader.SetSecretKeyFromPassPhrase("pass phrase " + std::to_string(index), 128);
    // Every size as a buffer; files of every size for some choices and the
    // boundary sizes for all, so the matrix stays quick.
    for (const Bytes& plain : plains) {
      const size_t size = plain.size();
      const std::string label = std::to_string(index) + "/" + std::to_string(size);
      const Bytes sealed = writer.EncryptBuffer(plain);
      ASSERT_EQ(sealed.size(), plain.size() + 60) << label;
      EXPECT_EQ(sealed[4], choice.cipher == Method::kTwofish ? 2 : 1) << label;
      EXPECT_EQ(sealed[5], choice.keyBits / 8) << label;
      EXPECT_EQ(sealed[6], choice.hashing == HashingMethod::kHaval ? 2 : 1) << label;
      EXPECT_EQ(sealed[7], choice.hashBits / 8) << label;
      ASSERT_EQ(reader.DecryptBuffer(sealed), plain) << label;
      if (size > 2 * chunk && index % 6 != 0) continue;
      testing::WriteFile(folder.File("plain"), plain);
      writer.EncryptFile(folder.File("plain"), folder.File("sealed.vkf"));
      const size_t chunks = size / chunk + 1;
      ASSERT_EQ(std::filesystem::file_size(folder.File("sealed.vkf")), 44 + size + 16 * chunks) << label;
      reader.DecryptFile(folder.File("sealed.vkf"), folder.File("back"));
      ASSERT_EQ(testing::ReadFile(folder.File("back")), plain) << label;
    }
    ++index;
  }
  EXPECT_EQ(index, 54);
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"back", "plain", "sealed.vkf"}));
}

// The store set-up at the real default count: Rijndael 256 keyed with the
// program's file description, SHA-2 512.
TEST(RoundTrip, StoreKeyAtTheDefaultCount) {
  testing::TestFolder folder;
  CryptoEngine writer;
  writer.SetMethod(Method::kRijndael);
  writer.SetSecretKeyFromPassPhrase(vk::kFileDescription, 256);
  writer.SetHashingMethod(HashingMethod::kSha2);
  writer.SetHashSize(512);
  const Bytes settings = Text("{GUID}|0|-1|3||-1|5|UNSETVALUE|2|0|");
  writer.WriteBufferToFile(settings, folder.File("settings.dat"));
  const Bytes file = testing::ReadFile(folder.File("settings.dat"));
  ASSERT_GE(file.size(), 12u);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "VK\x01" "F");
  EXPECT_EQ(testing::ToHex(Bytes(file.begin() + 4, file.begin() + 12)), "0120014000033450");  // 210,000

  CryptoEngine reader;
  reader.SetMethod(Method::kRijndael);
  reader.SetSecretKeyFromPassPhrase(vk::kFileDescription, 256);
  reader.SetHashingMethod(HashingMethod::kSha2);
  reader.SetHashSize(512);
  EXPECT_EQ(reader.ReadBufferFromFile(folder.File("settings.dat")), settings);
  const Bytes field = writer.EncryptBuffer(Text("x.vkf"));
  EXPECT_EQ(reader.DecryptBuffer(field), Text("x.vkf"));
}

TEST(OneDerivation, AnInstanceReusesItsSaltWithFreshNonces) {
  CryptoEngine engine;
  SetUpEngine(engine, {Method::kRijndael, 256, HashingMethod::kSha2, 512}, "store");
  engine.SetKdfIterationsForTesting(5);
  const Bytes first = engine.EncryptBuffer(Text("same"));
  const Bytes second = engine.EncryptBuffer(Text("same"));
  EXPECT_TRUE(std::equal(first.begin() + 12, first.begin() + 28, second.begin() + 12)) << "salt";
  EXPECT_FALSE(std::equal(first.begin() + 28, first.begin() + 44, second.begin() + 28)) << "nonce";
  EXPECT_NE(first, second);

  // A new pass phrase draws a new salt; the same one keeps it.
  engine.SetSecretKeyFromPassPhrase("store", 256);
  const Bytes third = engine.EncryptBuffer(Text("same"));
  EXPECT_TRUE(std::equal(first.begin() + 12, first.begin() + 28, third.begin() + 12));
  engine.SetSecretKeyFromPassPhrase("other", 256);
  const Bytes fourth = engine.EncryptBuffer(Text("same"));
  EXPECT_FALSE(std::equal(first.begin() + 12, first.begin() + 28, fourth.begin() + 12));
  EXPECT_THROW(engine.DecryptBuffer(first), EngineError);
  CryptoEngine other;
  EXPECT_THROW(other.DecryptBuffer(first), EngineError);  // no pass phrase set
}

TEST(Files, DestinationMayBeTheSourceAndIsReplacedOnlyOnSuccess) {
  testing::TestFolder folder;
  CryptoEngine engine;
  SetUpEngine(engine, {Method::kTwofish, 128, HashingMethod::kHaval, 160}, "pw");
  engine.SetKdfIterationsForTesting(2);
  const Bytes plain = Pattern(200000, 9);
  const std::string path = folder.File("doc.txt");
  testing::WriteFile(path, plain);
  ::chmod(path.c_str(), 0640);
  engine.EncryptFile(path, path);
  EXPECT_NE(testing::ReadFile(path), plain);
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  engine.DecryptFile(path, path);
  EXPECT_EQ(testing::ReadFile(path), plain);

  // A failed decryption leaves an existing destination as it was.
  testing::WriteFile(folder.File("bad.vkf"), Text("VK\x01" "F garbage that is not a file"));
  testing::WriteFile(folder.File("keep.txt"), Text("keep me"));
  EXPECT_THROW(engine.DecryptFile(folder.File("bad.vkf"), folder.File("keep.txt")), EngineError);
  EXPECT_EQ(testing::ReadFile(folder.File("keep.txt")), Text("keep me"));
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"bad.vkf", "doc.txt", "keep.txt"}));
}

// Output of more than two write blocks, on the disk where those blocks
// bypass the page cache: both directions arrive whole.
TEST(Files, LargerThanTheWriteBlocksOnDisk) {
  testing::TestFolder folder(testing::TestFolder::Place::kDisk);
  const Bytes plain = Pattern(2 * detail::ReplacingFile::kBlockSize + 3 * detail::kChunkSize + 5, 7);
  testing::WriteFile(folder.File("big"), plain);
  for (Method cipher : {Method::kRijndael, Method::kTwofish}) {
    CryptoEngine engine;
    SetUpEngine(engine, {cipher, 256, HashingMethod::kSha2, 256}, "pw");
    engine.SetKdfIterationsForTesting(2);
    engine.EncryptFile(folder.File("big"), folder.File("big.vkf"));
    const uint64_t chunks = plain.size() / detail::kChunkSize + 1;
    EXPECT_EQ(std::filesystem::file_size(folder.File("big.vkf")), 44 + plain.size() + 16 * chunks);
    engine.DecryptFile(folder.File("big.vkf"), folder.File("back"));
    EXPECT_TRUE(testing::ReadFile(folder.File("back")) == plain);
  }
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"back", "big", "big.vkf"}));
}

TEST(Files, ProgressReportsAndCancelLeavesNothing) {
  testing::TestFolder folder;
  CryptoEngine engine;
  SetUpEngine(engine, {Method::kRijndael, 128, HashingMethod::kSha2, 160}, "pw");
  engine.SetKdfIterationsForTesting(2);
  const Bytes plain = Pattern(50 * detail::kChunkSize + 10, 1);  // several batches of chunks
  testing::WriteFile(folder.File("big"), plain);

  std::vector<std::pair<uint64_t, uint64_t>> calls;
  engine.EncryptFile(folder.File("big"), folder.File("big.vkf"), [&](uint64_t done, uint64_t total) {
    calls.emplace_back(done, total);
    return true;
  });
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls.front(), std::make_pair(uint64_t(0), uint64_t(plain.size())));
  EXPECT_EQ(calls.back(), std::make_pair(uint64_t(plain.size()), uint64_t(plain.size())));
  for (size_t i = 1; i < calls.size(); ++i) EXPECT_LT(calls[i - 1].first, calls[i].first);
  calls.clear();
  engine.DecryptFile(folder.File("big.vkf"), folder.File("back"), [&](uint64_t done, uint64_t total) {
    calls.emplace_back(done, total);
    return true;
  });
  const uint64_t sealedSize = std::filesystem::file_size(folder.File("big.vkf"));
  EXPECT_EQ(calls.back(), std::make_pair(sealedSize, sealedSize));
  EXPECT_EQ(testing::ReadFile(folder.File("back")), plain);
  std::filesystem::remove(folder.File("back"));

  int seen = 0;
  auto cancelAtThird = [&](uint64_t, uint64_t) { return ++seen < 3; };
  try {
    engine.DecryptFile(folder.File("big.vkf"), folder.File("back"), cancelAtThird);
    FAIL() << "not cancelled";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.Kind(), ErrorKind::kCancelled);
  }
  seen = 0;
  EXPECT_THROW(engine.EncryptFile(folder.File("big"), folder.File("other.vkf"), cancelAtThird), EngineError);
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"big", "big.vkf"}));
}

// A derivation at a high count takes seconds and may come from a file's
// header: the progress callback hears from it, and can stop it.
TEST(Files, TheKeyDerivationReportsProgressAndCanBeCancelled) {
  testing::TestFolder folder;
  testing::WriteFile(folder.File("plain"), Text("some text"));
  CryptoEngine writer;
  SetUpEngine(writer, {Method::kRijndael, 128, HashingMethod::kHaval, 128}, "pw");
  writer.SetKdfIterationsForTesting(4 * detail::kTickIterations + 1);
  int atStart = 0;
  writer.EncryptFile(folder.File("plain"), folder.File("sealed.vkf"), [&](uint64_t done, uint64_t total) {
    atStart += done == 0 && total == 9;
    return true;
  });
  EXPECT_EQ(atStart, 4 + 1);  // four during the derivation, one before the data

  CryptoEngine reader;
  reader.SetSecretKeyFromPassPhrase("pw", 128);
  int calls = 0;
  try {
    reader.DecryptFile(folder.File("sealed.vkf"), folder.File("back"), [&](uint64_t, uint64_t) { return ++calls < 2; });
    ADD_FAILURE() << "not cancelled";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.Kind(), ErrorKind::kCancelled);
  }
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"plain", "sealed.vkf"}));
}

TEST(Files, UnopenableFilesNameThePathAndTheReason) {
  testing::TestFolder folder;
  CryptoEngine engine;
  SetUpEngine(engine, {Method::kRijndael, 128, HashingMethod::kSha2, 160}, "pw");
  engine.SetKdfIterationsForTesting(2);
  const std::string missing = folder.File("missing.txt");
  try {
    engine.EncryptFile(missing, folder.File("out.vkf"));
    FAIL();
  } catch (const EngineError& e) {
    EXPECT_EQ(e.Kind(), ErrorKind::kFile);
    EXPECT_EQ(std::string(e.what()), "cannot open '" + missing + "': No such file or directory");
  }
  testing::WriteFile(folder.File("in.txt"), Text("x"));
  const std::string noFolder = folder.File("no/such/out.vkf");
  try {
    engine.EncryptFile(folder.File("in.txt"), noFolder);
    FAIL();
  } catch (const EngineError& e) {
    EXPECT_EQ(e.Kind(), ErrorKind::kFile);
    EXPECT_EQ(std::string(e.what()), "cannot create a file in '" + folder.File("no/such") + "': No such file or directory");
  }
  try {
    engine.ReadBufferFromFile(folder.File("no-settings.dat"));
    FAIL();
  } catch (const EngineError& e) {
    EXPECT_EQ(e.Kind(), ErrorKind::kFile);
  }
  testing::WriteFile(folder.File("empty.dat"), Bytes());
  try {
    engine.ReadBufferFromFile(folder.File("empty.dat"));
    FAIL();
  } catch (const EngineError& e) {
    EXPECT_EQ(e.Kind(), ErrorKind::kUnsupportedFormat);
  }
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"empty.dat", "in.txt"}));
}

TEST(Usage, OutOfRangeValuesAndMissingKeysAreUsageErrors) {
  CryptoEngine engine;
  auto kindOf = [](auto&& call) {
    try {
      call();
    } catch (const EngineError& e) {
      return e.Kind();
    }
    return ErrorKind::kCancelled;  // stands for "no error"
  };
  EXPECT_EQ(kindOf([&] { engine.SetSecretKeyFromPassPhrase("pw", 512); }), ErrorKind::kUsage);
  EXPECT_EQ(kindOf([&] { engine.SetHashSize(100); }), ErrorKind::kUsage);
  EXPECT_EQ(kindOf([&] { engine.EncryptBuffer(Text("x")); }), ErrorKind::kUsage);  // no pass phrase
  engine.SetSecretKeyFromPassPhrase("pw", 128);
  engine.SetKdfIterationsForTesting(2);
  engine.SetHashingMethod(HashingMethod::kHaval);
  engine.SetHashSize(512);
  EXPECT_EQ(kindOf([&] { engine.EncryptBuffer(Text("x")); }), ErrorKind::kUsage);
  engine.SetHashSize(224);
  EXPECT_EQ(engine.DecryptBuffer(engine.EncryptBuffer(Text("x"))), Text("x"));
  engine.SetMethod(Method::kRsa);
  EXPECT_EQ(engine.CurrentMethod(), Method::kRsa);
  EXPECT_EQ(kindOf([&] { engine.EncryptBuffer(Text("x")); }), ErrorKind::kUsage);  // no public key
  EXPECT_EQ(kindOf([&] { engine.EncryptFile("/dev/null", "/tmp/never-written"); }), ErrorKind::kUsage);
  EXPECT_EQ(kindOf([&] { engine.PrivateKey(); }), ErrorKind::kUsage);
}

TEST(PasswordVerifier, ChecksThePasswordAndRefusesMalformedVerifiers) {
  const std::string verifier = CryptoEngine::MakePasswordVerifier("open sesame");
  ASSERT_EQ(verifier.size(), 4 + 7 + 33 + 64u);
  EXPECT_EQ(verifier.substr(0, 11), "vk1$600000$");
  EXPECT_EQ(verifier.find_first_of("| "), std::string::npos);
  EXPECT_NE(CryptoEngine::MakePasswordVerifier("open sesame"), verifier);  // salted
  EXPECT_TRUE(CryptoEngine::CheckPasswordVerifier(verifier, "open sesame"));
  EXPECT_FALSE(CryptoEngine::CheckPasswordVerifier(verifier, "open sesame "));
  EXPECT_FALSE(CryptoEngine::CheckPasswordVerifier(verifier, ""));
  // The documented construction, computed independently.
  Bytes hash(32);
  CryptoPP::PKCS5_PBKDF2_HMAC<CryptoPP::SHA256>().DeriveKey(hash.data(), hash.size(), 0,
                                                           reinterpret_cast<const uint8_t*>("password"), 8,
                                                           reinterpret_cast<const uint8_t*>("saltsaltsaltsalt"), 16, 7);
  std::string hashHex = testing::ToHex(hash);
  std::transform(hashHex.begin(), hashHex.end(), hashHex.begin(), ::tolower);
  const std::string known = "vk1$7$73616c7473616c7473616c7473616c74$" + hashHex;
  EXPECT_TRUE(CryptoEngine::CheckPasswordVerifier(known, "password"));
  EXPECT_FALSE(CryptoEngine::CheckPasswordVerifier(known, "Password"));
  for (const std::string& bad : {std::string(), std::string("UNSETVALUE"), verifier.substr(1), verifier + "$",
                                verifier.substr(0, verifier.size() - 1), "vk1$0$" + verifier.substr(11),
                                "vk1$99999999999$" + verifier.substr(11), "vk1$-5$" + verifier.substr(11)}) {
    EXPECT_FALSE(CryptoEngine::CheckPasswordVerifier(bad, "open sesame")) << bad;
  }
}

}  // namespace
}  // namespace vkcrypto
