#pragma once

// The encryption engine the application calls: a current method (Rijndael,
// Twofish or RSA), a hashing method for the symmetric ones, a key derived
// from a pass phrase, buffer and file operations, and RSA key pairs. What it
// writes is described in docs/engine-format.md. Every failure throws
// vkcrypto::EngineError with a message a person understands.
//
// This header is the contract between the engine and the application; the
// engine may add to it but keeps these members and their meaning.

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vkcrypto {

using Bytes = std::vector<uint8_t>;

enum class ErrorKind {
  kWrongPasswordOrDamaged,  // authentication failed: wrong password, changed, cut or appended data
  kUnsupportedFormat,       // not our format, or a version we do not know
  kKeyTooSmall,             // an RSA key too small to encrypt with (fewer than kRsaMinimumBits)
  kBadKey,                  // key bytes that are not a key of the expected kind
  kFile,                    // a file that cannot be opened, read, written or renamed (message has path and reason)
  kCancelled,               // the caller's progress callback asked to stop
  kUsage,                   // a call out of order or with a value out of range
};

class EngineError : public std::runtime_error {
 public:
  EngineError(ErrorKind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
  ErrorKind Kind() const noexcept { return kind_; }

 private:
  ErrorKind kind_;
};

enum class Method { kRijndael, kTwofish, kRsa };
enum class HashingMethod { kSha2, kHaval };

// RSA keys of fewer bits cannot encrypt; keys of fewer than kRsaAdvisedBits
// encrypt, and the caller shows RsaKeyWarning. Key creation offers smaller
// sizes all the same, and messages to them still decrypt.
inline constexpr int kRsaMinimumBits = 1024;
inline constexpr int kRsaAdvisedBits = 2048;

// Called now and then during long file operations with the bytes done and the
// total, and while the key is derived with 0 done; returning false cancels
// the operation (kCancelled), leaving no destination file behind.
using Progress = std::function<bool(uint64_t done, uint64_t total)>;

class CryptoEngine {
 public:
  CryptoEngine();
  ~CryptoEngine();
  CryptoEngine(const CryptoEngine&) = delete;
  CryptoEngine& operator=(const CryptoEngine&) = delete;

  // Symmetric set-up, in the order the views make the calls: method, key
  // (128, 192 or 256 bits), hashing method, hash size (SHA-2: 160 = SHA-1,
  // 256, 384, 512; HAVAL: 128, 160, 192, 224, 256).
  void SetMethod(Method method);
  Method CurrentMethod() const noexcept;
  void SetSecretKeyFromPassPhrase(std::string_view passPhrase, int keyBits);
  void SetHashingMethod(HashingMethod hashing);
  void SetHashSize(int bits);

  // RSA: PKCS #1 DER bytes.
  // 128 to 7128 bits, public exponent 65537. Creation has no measure of
  // progress: it asks progress(0, 0) now and then, and false stops it
  // (kCancelled) with the keys held before left as they were.
  void CreateKeyPair(int bits, const Progress& progress = {});
  Bytes PublicKey() const;
  Bytes PrivateKey() const;
  void SetPublicKey(const Bytes& der);
  void SetPrivateKey(const Bytes& der);
  // The size of the public key's modulus in bits; 0 when none is set.
  int PublicKeyBits() const noexcept;
  // What to tell the user who encrypts to the public key, or empty text when
  // it is large enough.
  std::string RsaKeyWarning() const;

  // The whole data in one call. With RSA current, encryption uses the public
  // key and decryption the private key.
  Bytes EncryptBuffer(const Bytes& plain);
  Bytes DecryptBuffer(const Bytes& sealed);

  // File to file, streamed in constant memory; the destination is replaced
  // only when the whole operation succeeded (it may be the source itself).
  void EncryptFile(const std::string& source, const std::string& destination, const Progress& progress = {});
  void DecryptFile(const std::string& source, const std::string& destination, const Progress& progress = {});

  // The store form (settings.dat): a buffer encrypted into a file that
  // replaces the old one safely, and a whole file read back.
  void WriteBufferToFile(const Bytes& plain, const std::string& path);
  Bytes ReadBufferFromFile(const std::string& path);

  // A salted verifier of a password from the same slow derivation, so that a
  // program password need not be stored in clear text. The verifier is
  // printable ASCII without "|" or spaces; checking takes one derivation.
  static std::string MakePasswordVerifier(std::string_view password);
  static bool CheckPasswordVerifier(std::string_view verifier, std::string_view password);

  // The iteration count of the pass-phrase derivation for a hash choice: the
  // current guidance for PBKDF2 with that hash (docs/engine-format.md).
  static uint32_t DefaultIterations(HashingMethod hashing, int hashBits);

  // For tests only: derive keys for what this instance encrypts with this
  // many iterations instead of the default (0 restores the default). The
  // count is written into the output, so decryption needs no knob.
  void SetKdfIterationsForTesting(uint32_t iterations);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vkcrypto
