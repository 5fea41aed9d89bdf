#pragma once

// The cipher choices the file and message views share: the keys and captions
// of the four option menus, how choosing a hashing algorithm changes the hash
// sizes on offer, and how the chosen keys become engine settings.

#include <QString>

#include <optional>
#include <span>

#include "cryptoengine/CryptoEngine.h"

namespace vk {

struct OptionItem {
  const char* key;
  const char* menuCaption;
  const char* buttonCaption;
  int bits;  // strength, hash size or key size; 0 where none applies
};

inline constexpr const char* kAlgoRijndael = "ALGO_RIJNDAEL";
inline constexpr const char* kAlgoTwofish = "ALGO_TWOFISH";
inline constexpr const char* kAlgoRsa = "ALGO_RSA";
inline constexpr const char* kHashSha2 = "HASH_ALGO_SHA_2";
inline constexpr const char* kHashHaval = "HASH_ALGO_HAVEL";

// The algorithm menu; the message view offers RSA as a third item.
std::span<const OptionItem> AlgorithmItems(bool withRsa);
std::span<const OptionItem> StrengthItems();
std::span<const OptionItem> HashAlgorithmItems();
// The sizes a hashing algorithm offers, in menu order (empty for an unknown key).
std::span<const OptionItem> HashSizeItems(const QString& hashAlgorithmKey);
// The key pair view's sizes, 128 to 7128 bits.
std::span<const OptionItem> KeySizeItems();

// The item with that key among all the items of its kind, or nullptr.
const OptionItem* FindAlgorithm(const QString& key);
const OptionItem* FindStrength(const QString& key);
const OptionItem* FindHashAlgorithm(const QString& key);
const OptionItem* FindHashSize(const QString& key);
const OptionItem* FindKeySize(const QString& key);

// What the four keys ask of the engine; a key outside its table leaves its
// part unset (no object, 0 bits).
struct EngineSettings {
  std::optional<vkcrypto::Method> method;
  std::optional<vkcrypto::HashingMethod> hashing;
  int keyBits = 0;
  int hashBits = 0;
};

EngineSettings MapOptions(const QString& algorithmKey, const QString& strengthKey, const QString& hashAlgorithmKey,
                          const QString& hashSizeKey);

// The password set-up in the engine's order: method, key from the pass
// phrase, hashing method, hash size. Throws vkcrypto::EngineError when the
// settings name no method or hashing.
void ApplyPasswordSetup(vkcrypto::CryptoEngine& engine, const EngineSettings& settings, const QString& passPhrase);

// Text to the bytes that are encrypted and back. The program's narrow
// encoding is UTF-8, so no typed character is lost.
vkcrypto::Bytes TextToBytes(const QString& text);
QString BytesToText(const vkcrypto::Bytes& bytes);

// A sentence for the user about a failed engine call.
QString DescribeEngineFailure(const std::exception& error);

}  // namespace vk
