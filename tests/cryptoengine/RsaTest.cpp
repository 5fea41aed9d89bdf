// RSA key pairs of the ten sizes as PKCS #1 DER, checked by openssl, and RSA
// message encryption.
#include <cryptopp/queue.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "TestFolder.h"
#include "cryptoengine/Rsa.h"

namespace vkcrypto {
namespace {

using testing::Text;

std::string RunCommand(const std::string& command) {
  std::string output;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return "popen failed";
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
  const int status = ::pclose(pipe);
  if (status != 0) output += "\nexit status " + std::to_string(status);
  return output;
}

ErrorKind KindOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const EngineError& e) {
    return e.Kind();
  }
  return ErrorKind::kCancelled;  // stands for "no error"
}

TEST(KeyPairs, EverySizeLoadsBackAndOpensslAcceptsIt) {
  testing::TestFolder folder;
  for (int bits : {128, 256, 512, 1024, 2048, 3072, 4096, 5120, 6144, 7128}) {
    CryptoEngine engine;
    engine.SetMethod(Method::kRsa);
    engine.CreateKeyPair(bits);
    const Bytes publicKey = engine.PublicKey();
    const Bytes privateKey = engine.PrivateKey();
    const CryptoPP::InvertibleRSAFunction key = detail::DecodePrivateKey(privateKey);
    EXPECT_EQ(key.GetModulus().BitCount(), unsigned(bits));
    EXPECT_EQ(key.GetPublicExponent(), CryptoPP::Integer(65537));
    EXPECT_EQ(key.GetPrime1().BitCount(), unsigned(bits / 2));
    EXPECT_EQ(key.GetPrime2().BitCount(), unsigned(bits / 2));
    EXPECT_EQ(detail::DecodePublicKey(publicKey).GetModulus(), key.GetModulus());

    CryptoEngine loaded;
    loaded.SetPrivateKey(privateKey);
    EXPECT_EQ(loaded.PrivateKey(), privateKey);
    EXPECT_EQ(loaded.PublicKey(), publicKey);
    CryptoEngine publicOnly;
    publicOnly.SetPublicKey(publicKey);
    EXPECT_EQ(publicOnly.PublicKey(), publicKey);

    const std::string pub = folder.File("pub.der");
    const std::string priv = folder.File("priv.der");
    testing::WriteFile(pub, publicKey);
    testing::WriteFile(priv, privateKey);
    const std::string modulus = RunCommand("openssl rsa -inform DER -RSAPublicKey_in -in " + pub + " -noout -modulus");
    EXPECT_EQ(modulus.rfind("Modulus=", 0), 0u) << bits << ": " << modulus;
    EXPECT_EQ(RunCommand("openssl rsa -inform DER -check -noout -in " + priv), "RSA key ok\n") << bits;
    EXPECT_EQ(RunCommand("openssl rsa -inform DER -in " + priv + " -noout -modulus"), modulus) << bits;

    CryptoEngine sender;
    sender.SetMethod(Method::kRsa);
    sender.SetPublicKey(publicKey);
    EXPECT_EQ(sender.PublicKeyBits(), bits);
    if (bits >= 1024) {
      for (const Bytes& message : {Bytes(), Text("x"), Bytes(100000, 0xA5)}) {
        const Bytes sealed = sender.EncryptBuffer(message);
        ASSERT_EQ(sealed.size(), 7 + size_t(bits + 7) / 8 + message.size() + 16) << bits;
        EXPECT_EQ(sealed[4], 1) << bits;
        EXPECT_EQ(loaded.DecryptBuffer(sealed), message) << bits;
      }
      EXPECT_EQ(sender.RsaKeyWarning(),
                bits < 2048 ? "a key of 1024 bits is weak: use a key of 2048 bits or more" : "")
          << bits;
      continue;
    }
    try {
      sender.EncryptBuffer(Text("x"));
      ADD_FAILURE() << bits << ": encrypted";
    } catch (const EngineError& e) {
      EXPECT_EQ(e.Kind(), ErrorKind::kKeyTooSmall);
      EXPECT_STREQ(e.what(), "too small to protect a message: use a key of 2048 bits or more");
    }
  }
  EXPECT_EQ(KindOf([] { CryptoEngine().CreateKeyPair(7168); }), ErrorKind::kUsage);
  EXPECT_EQ(KindOf([] { CryptoEngine().CreateKeyPair(1000); }), ErrorKind::kUsage);
}

TEST(KeyPairs, ACreationStopsWhenAskedAndKeepsTheKeysItHad) {
  CryptoEngine engine;
  engine.SetMethod(Method::kRsa);
  engine.CreateKeyPair(512);
  const Bytes before = engine.PrivateKey();
  // Each of the two primes asks at least once, so a stop on the second ask
  // always comes before the pair is done.
  int asked = 0;
  const Progress stopOnSecond = [&](uint64_t done, uint64_t total) {
    EXPECT_EQ(done + total, 0u);
    return ++asked < 2;
  };
  EXPECT_EQ(KindOf([&] { engine.CreateKeyPair(7128, stopOnSecond); }), ErrorKind::kCancelled);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(engine.PrivateKey(), before);
}

TEST(KeyPairs, OpensslKeysLoadAndDecryptOurMessages) {
  testing::TestFolder folder;
  const std::string pem = folder.File("k.pem");
  ASSERT_EQ(RunCommand("openssl genpkey -quiet -algorithm RSA -pkeyopt rsa_keygen_bits:1024 -out " + pem), "");
  ASSERT_EQ(RunCommand("openssl rsa -in " + pem + " -outform DER -traditional -out " + folder.File("k.der")), "writing RSA key\n");
  ASSERT_EQ(RunCommand("openssl rsa -in " + pem + " -outform DER -RSAPublicKey_out -out " + folder.File("p.der")),
            "writing RSA key\n");
  CryptoEngine receiver;
  receiver.SetPrivateKey(testing::ReadFile(folder.File("k.der")));
  CryptoEngine sender;
  sender.SetMethod(Method::kRsa);
  sender.SetPublicKey(testing::ReadFile(folder.File("p.der")));
  EXPECT_EQ(receiver.DecryptBuffer(sender.EncryptBuffer(Text("hello"))), Text("hello"));
}

TEST(KeyPairs, BadKeyBytesAndWrongKeysAreRefused) {
  CryptoEngine engine;
  engine.CreateKeyPair(1024);
  const Bytes publicKey = engine.PublicKey();
  const Bytes privateKey = engine.PrivateKey();
  CryptoEngine other;
  EXPECT_EQ(KindOf([&] { other.SetPublicKey(Bytes()); }), ErrorKind::kBadKey);
  EXPECT_EQ(KindOf([&] { other.SetPublicKey(Text("not a key")); }), ErrorKind::kBadKey);
  EXPECT_EQ(KindOf([&] { other.SetPublicKey(privateKey); }), ErrorKind::kBadKey);
  EXPECT_EQ(KindOf([&] { other.SetPrivateKey(publicKey); }), ErrorKind::kBadKey);
  Bytes trailing = publicKey;
  trailing.push_back(0);
  EXPECT_EQ(KindOf([&] { other.SetPublicKey(trailing); }), ErrorKind::kBadKey);
  Bytes cut(privateKey.begin(), privateKey.end() - 1);
  EXPECT_EQ(KindOf([&] { other.SetPrivateKey(cut); }), ErrorKind::kBadKey);
  // A private key whose exponent was changed no longer hangs together.
  Bytes changed = privateKey;
  changed[changed.size() / 2] ^= 1;
  EXPECT_EQ(KindOf([&] { other.SetPrivateKey(changed); }), ErrorKind::kBadKey);

  engine.SetMethod(Method::kRsa);
  const Bytes sealed = engine.EncryptBuffer(Text("for one key only"));
  other.CreateKeyPair(1024);
  EXPECT_EQ(KindOf([&] { other.DecryptBuffer(sealed); }), ErrorKind::kWrongPasswordOrDamaged);
  for (size_t at : {size_t(4), size_t(6), size_t(50), sealed.size() - 20, sealed.size() - 1}) {
    Bytes tampered = sealed;
    tampered[at] ^= 0x10;
    EXPECT_NE(KindOf([&] { engine.DecryptBuffer(tampered); }), ErrorKind::kCancelled) << at;
  }
  EXPECT_EQ(KindOf([&] { engine.DecryptBuffer(Bytes(sealed.begin(), sealed.end() - 1)); }),
            ErrorKind::kWrongPasswordOrDamaged);
  EXPECT_EQ(engine.DecryptBuffer(sealed), Text("for one key only"));
  // A password message needs the pass phrase, not the key.
  CryptoEngine symmetric;
  symmetric.SetSecretKeyFromPassPhrase("pw", 128);
  symmetric.SetKdfIterationsForTesting(2);
  EXPECT_EQ(KindOf([&] { engine.DecryptBuffer(symmetric.EncryptBuffer(Text("x"))); }), ErrorKind::kUsage);
  EXPECT_EQ(KindOf([&] { symmetric.DecryptBuffer(sealed); }), ErrorKind::kUsage);
}

}  // namespace
}  // namespace vkcrypto
