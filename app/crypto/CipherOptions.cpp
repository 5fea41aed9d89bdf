#include "crypto/CipherOptions.h"

namespace vk {

namespace {

constexpr OptionItem kAlgorithms[] = {
    {"ALGO_RIJNDAEL", "Rijndael", "Encryption Algorithm: Rijndael", 0},
    {"ALGO_TWOFISH", "Twofish", "Encryption Algorithm: Twofish", 0},
    {"ALGO_RSA", "RSA", "Encryption Algorithm: RSA", 0},
};

constexpr OptionItem kStrengths[] = {
    {"BITS_128", "128 Bits", "Password Strength: 128 Bits", 128},
    {"BITS_192", "192 Bits", "Password Strength: 192 Bits", 192},
    {"BITS_256", "256 Bits", "Password Strength: 256 Bits", 256},
};

constexpr OptionItem kHashAlgorithms[] = {
    {"HASH_ALGO_SHA_2", "SHA-2", "Hashing Algorithm: SHA-2", 0},
    {"HASH_ALGO_HAVEL", "Havel", "Hashing Algorithm: Havel", 0},
};

constexpr OptionItem kHashSizes[] = {
    {"HASH_SIZE_128", "Hash Size: 128 Bits", "Hash Size: 128 Bits", 128},
    {"HASH_SIZE_160", "Hash Size: 160 Bits", "Hash Size: 160 Bits", 160},
    {"HASH_SIZE_192", "Hash Size: 192 Bits", "Hash Size: 192 Bits", 192},
    {"HASH_SIZE_224", "Hash Size: 224 Bits", "Hash Size: 224 Bits", 224},
    {"HASH_SIZE_256", "Hash Size: 256 Bits", "Hash Size: 256 Bits", 256},
    {"HASH_SIZE_384", "Hash Size: 384 Bits", "Hash Size: 384 Bits", 384},
    {"HASH_SIZE_512", "Hash Size: 512 Bits", "Hash Size: 512 Bits", 512},
};

constexpr OptionItem kSha2Sizes[] = {kHashSizes[1], kHashSizes[4], kHashSizes[5], kHashSizes[6]};
constexpr OptionItem kHavalSizes[] = {kHashSizes[0], kHashSizes[1], kHashSizes[2], kHashSizes[3], kHashSizes[4]};

constexpr OptionItem kKeySizes[] = {
    {"KEYSIZE_128", "128 Bits", "Key Size: 128 Bits", 128},
    {"KEYSIZE_256", "256 Bits", "Key Size: 256 Bits", 256},
    {"KEYSIZE_512", "512 Bits", "Key Size: 512 Bits", 512},
    {"KEYSIZE_1024", "1024 Bits", "Key Size: 1024 Bits", 1024},
    {"KEYSIZE_2048", "2048 Bits", "Key Size: 2048 Bits", 2048},
    {"KEYSIZE_3072", "3072 Bits", "Key Size: 3072 Bits", 3072},
    {"KEYSIZE_4096", "4096 Bits", "Key Size: 4096 Bits", 4096},
    {"KEYSIZE_5120", "5120 Bits", "Key Size: 5120 Bits", 5120},
    {"KEYSIZE_6144", "6144 Bits", "Key Size: 6144 Bits", 6144},
    {"KEYSIZE_7128", "7128 Bits", "Key Size: 7128 Bits", 7128},
};

const OptionItem* Find(std::span<const OptionItem> items, const QString& key) {
  for (const OptionItem& item : items) {
    if (key == QLatin1String(item.key)) return &item;
  }
  return nullptr;
}

}  // namespace

std::span<const OptionItem> AlgorithmItems(bool withRsa) {
  return std::span<const OptionItem>(kAlgorithms).first(withRsa ? 3 : 2);
}
std::span<const OptionItem> StrengthItems() { return kStrengths; }
std::span<const OptionItem> HashAlgorithmItems() { return kHashAlgorithms; }
std::span<const OptionItem> KeySizeItems() { return kKeySizes; }

std::span<const OptionItem> HashSizeItems(const QString& hashAlgorithmKey) {
  if (hashAlgorithmKey == QLatin1String(kHashSha2)) return kSha2Sizes;
  if (hashAlgorithmKey == QLatin1String(kHashHaval)) return kHavalSizes;
  return {};
}

const OptionItem* FindAlgorithm(const QString& key) { return Find(kAlgorithms, key); }
const OptionItem* FindStrength(const QString& key) { return Find(kStrengths, key); }
const OptionItem* FindHashAlgorithm(const QString& key) { return Find(kHashAlgorithms, key); }
const OptionItem* FindHashSize(const QString& key) { return Find(kHashSizes, key); }
const OptionItem* FindKeySize(const QString& key) { return Find(kKeySizes, key); }

EngineSettings MapOptions(const QString& algorithmKey, const QString& strengthKey, const QString& hashAlgorithmKey,
                          const QString& hashSizeKey) {
  EngineSettings settings;
  if (algorithmKey == QLatin1String(kAlgoRijndael)) settings.method = vkcrypto::Method::kRijndael;
  if (algorithmKey == QLatin1String(kAlgoTwofish)) settings.method = vkcrypto::Method::kTwofish;
  if (algorithmKey == QLatin1String(kAlgoRsa)) settings.method = vkcrypto::Method::kRsa;
  if (hashAlgorithmKey == QLatin1String(kHashSha2)) settings.hashing = vkcrypto::HashingMethod::kSha2;
  if (hashAlgorithmKey == QLatin1String(kHashHaval)) settings.hashing = vkcrypto::HashingMethod::kHaval;
  if (const OptionItem* strength = FindStrength(strengthKey)) settings.keyBits = strength->bits;
  if (const OptionItem* size = FindHashSize(hashSizeKey)) settings.hashBits = size->bits;
  return settings;
}

void ApplyPasswordSetup(vkcrypto::CryptoEngine& engine, const EngineSettings& settings, const QString& passPhrase) {
  if (!settings.method || !settings.hashing) {
    throw vkcrypto::EngineError(vkcrypto::ErrorKind::kUsage, "no encryption or hashing algorithm is selected");
  }
  engine.SetMethod(*settings.method);
  QByteArray phrase = passPhrase.toUtf8();
  engine.SetSecretKeyFromPassPhrase(std::string_view(phrase.constData(), static_cast<size_t>(phrase.size())),
                                    settings.keyBits);
  engine.SetHashingMethod(*settings.hashing);
  engine.SetHashSize(settings.hashBits);
}

vkcrypto::Bytes TextToBytes(const QString& text) {
  QByteArray utf8 = text.toUtf8();
  return vkcrypto::Bytes(utf8.begin(), utf8.end());
}

QString BytesToText(const vkcrypto::Bytes& bytes) {
  return QString::fromUtf8(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

QString DescribeEngineFailure(const std::exception& error) {
  QString detail = QString::fromUtf8(error.what());
  if (const auto* engineError = dynamic_cast<const vkcrypto::EngineError*>(&error)) {
    switch (engineError->Kind()) {
      case vkcrypto::ErrorKind::kWrongPasswordOrDamaged:
        return QStringLiteral("The password is wrong or the data is damaged; nothing was decrypted.");
      case vkcrypto::ErrorKind::kUnsupportedFormat:
        return QStringLiteral("This is not data that Velkor Crypto can decrypt (") + detail + QStringLiteral(").");
      case vkcrypto::ErrorKind::kCancelled:
        return QStringLiteral("The operation was cancelled; nothing was written.");
      default:
        break;
    }
  }
  return detail.isEmpty() ? QStringLiteral("The operation failed.") : detail;
}

}  // namespace vk
