#include "stores/StoreDocument.h"

#include <stdexcept>

#include <QDir>
#include <QFile>

#include "common/Hex.h"
#include "rssvane/RSS.h"
#include "settings/FileSafety.h"
#include "settings/StoreCipher.h"

namespace vk {

void PrepareFeed(rssvane::RSS& rss) {
  rss.Reset();
  rss.Config(u"AllowNonRSS=true");
}

std::u16string EncryptField(StoreCipher& cipher, const QString& value) {
  const QByteArray text = value.toUtf8();
  const Bytes sealed = cipher.Encrypt(Bytes(text.begin(), text.end()));
  const std::string hex = BytesToHex(sealed);
  return std::u16string(hex.begin(), hex.end());
}

QString DecryptField(StoreCipher& cipher, const std::u16string& stored) {
  std::string narrow;
  narrow.reserve(stored.size());
  for (char16_t c : stored) narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  const Bytes plain = cipher.Decrypt(HexToBytes(narrow));
  return QString::fromUtf8(reinterpret_cast<const char*>(plain.data()), static_cast<qsizetype>(plain.size()));
}

void WriteFeedReplacing(rssvane::RSS& rss, const QString& path) {
  const QString temporary = TemporaryNameBeside(path);
  try {
    rss.WriteFile(temporary.toStdU16String());
  } catch (...) {
    QFile::remove(temporary);
    throw;
  }
  if (!ReplaceWithFile(temporary, path))
    throw std::runtime_error("cannot replace " + QFile::encodeName(path).toStdString());
}

bool StoreFileExists(const QString& folder, const QString& name) {
  return QDir(folder).entryList(QStringList{name}, QDir::Files | QDir::Hidden).contains(name);
}

QString KeepUnreadableStore(const QString& path, const QString& what) {
  const QString kept = KeepDamagedFileAside(path, false);
  if (kept.isEmpty())
    return QStringLiteral("The %1 file \"%2\" could not be read.  It was left in place and will not be "
                          "changed in this session.")
        .arg(what, path);
  return QStringLiteral("The %1 file could not be read, so Velkor Crypto starts without it.\r\rThe unreadable "
                        "file was kept as \"%2\"; a new file is made with the next change.")
      .arg(what, kept);
}

}  // namespace vk
