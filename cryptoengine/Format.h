#pragma once

// The byte layout of what the engine writes (docs/engine-format.md): the
// header of password-encrypted data, and the authenticated encryption of
// messages and of files in chunks. Key derivation and key caching are the
// caller's; these functions take the derived key.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "cryptoengine/CryptoEngine.h"

namespace vkcrypto::detail {

inline constexpr uint8_t kMagic0 = 'V';
inline constexpr uint8_t kMagic1 = 'K';
inline constexpr uint8_t kVersion = 1;
inline constexpr uint8_t kKindMessage = 'M';
inline constexpr uint8_t kKindFile = 'F';
inline constexpr uint8_t kKindRsa = 'R';
inline constexpr size_t kSaltSize = 16;
inline constexpr size_t kNonceSize = 16;
inline constexpr size_t kHeaderSize = 44;
inline constexpr size_t kTagSize = 16;
inline constexpr size_t kChunkSize = 65536;
// Ten times the most the engine writes (1,300,000): the count is read before
// anything is authenticated, so a reader refuses to spend more on a header.
inline constexpr uint32_t kMaxIterations = 13'000'000;

struct PasswordHeader {
  uint8_t kind = kKindMessage;
  Method cipher = Method::kRijndael;
  int keyBits = 128;
  HashingMethod hashing = HashingMethod::kSha2;
  int hashBits = 160;
  uint32_t iterations = 1;
  std::array<uint8_t, kSaltSize> salt{};
  std::array<uint8_t, kNonceSize> nonce{};
};

using HeaderBytes = std::array<uint8_t, kHeaderSize>;

HeaderBytes EncodeHeader(const PasswordHeader& header);

// The kind byte of data that starts like ours, after checking the magic and
// the version: kUnsupportedFormat otherwise.
uint8_t ReadKind(const uint8_t* data, size_t size);

// Parses a full header of kind M or F (the magic and version already known
// good or checked again here); a field outside its table is damage, and an
// iteration count above kMaxIterations kUnsupportedFormat.
PasswordHeader ParseHeader(const uint8_t* data, size_t size);

// Message form: header, ciphertext, tag.
Bytes SealMessage(const PasswordHeader& header, const uint8_t* key, const uint8_t* plain, size_t size);
Bytes OpenMessage(const PasswordHeader& header, const uint8_t* key, const uint8_t* sealed, size_t size);

// File form, streamed. Read fills the buffer up to the size asked and returns
// less only at the end; Write takes every byte given. Progress gets the
// plaintext bytes done (encrypting) or the file bytes consumed (decrypting).
using ReadFn = std::function<size_t(uint8_t* buffer, size_t size)>;
using WriteFn = std::function<void(const uint8_t* data, size_t size)>;
using StepFn = std::function<void(uint64_t done)>;

void SealStream(const PasswordHeader& header, const uint8_t* key, const ReadFn& read, const WriteFn& write,
                const StepFn& step);
// The header has been read and parsed already (the key depends on it).
void OpenStream(const PasswordHeader& header, const uint8_t* key, const ReadFn& read, const WriteFn& write,
                const StepFn& step);

[[noreturn]] void ThrowDamaged();

}  // namespace vkcrypto::detail
