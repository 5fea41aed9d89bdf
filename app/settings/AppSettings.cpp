#include "settings/AppSettings.h"

#include <QDir>
#include <QFileInfo>

#include "common/Guid.h"
#include "settings/FileSafety.h"
#include "settings/StoreCipher.h"
#include "shell/MessageBoxes.h"

namespace vk {

namespace {

const QString kFileName = QStringLiteral("settings.dat");

// The name the directory itself reports, so that "Settings.dat" is not taken
// for the file.
bool FileIsThere(const QString& folder) {
  const QStringList found = QDir(folder).entryList(QStringList{kFileName}, QDir::Files | QDir::Hidden);
  return found.contains(kFileName);
}

}  // namespace

AppSettings::AppSettings(QString appFolder) : appFolder_(std::move(appFolder)) {}

void AppSettings::SetMessagesEncrypted(double v) {
  fields_.MessagesEncrypted = v;
  CountersChanged();
}

void AppSettings::SetFilesEncrypted(double v) {
  fields_.FilesEncrypted = v;
  CountersChanged();
}

void AppSettings::SetTotalPasswords(double v) {
  fields_.TotalPasswords = v;
  CountersChanged();
}

void AppSettings::CountersChanged() {
  if (countersChanged_) countersChanged_();
}

bool AppSettings::IsProgramPasswordSet() const {
  const QString stored = ProgramPWD();
  return !stored.isEmpty() && stored != kUnsetValue;
}

QString AppSettings::FilePath() const { return QDir(appFolder_).filePath(kFileName); }

int AppSettings::GetSettingsFromFile(QWidget* parent) {
  int result = 1;
  if (!FileIsThere(appFolder_)) {
    Boxes().Show(parent, MessageBoxes::Icon::kCritical, MessageBoxes::Buttons::kOk, QStringLiteral("Critical Error"),
                 QStringLiteral("WARNING!\r\rA required file is missing.  Velkor Crypto cannot run without this file.  "
                                "Please contact support at support@velkor.example and provide them with error code "
                                "VERR-0500017.\r\rVelkor Crypto will now close."));
    return 0;
  }
  const QString path = FilePath();
  // An empty file is what an installation ships; anything else that does not
  // decrypt is kept for the user before the next save replaces it.
  if (QFileInfo(path).size() > 0) {
    bool loaded = false;
    if (cipher_) {
      try {
        const Bytes plain = cipher_->ReadBufferFromFile(QFile::encodeName(path).toStdString());
        ParseSettingsString(std::string_view(reinterpret_cast<const char*>(plain.data()), plain.size()), fields_);
        loaded = true;
      } catch (const std::exception&) {
      }
    }
    if (!loaded) {
      const QString kept = KeepDamagedFileAside(path, true);
      QString text = QStringLiteral("The settings file could not be read, so Velkor Crypto starts with its "
                                    "default settings.");
      if (!kept.isEmpty()) text += QStringLiteral("\r\rThe unreadable file was kept as \"%1\".").arg(kept);
      Boxes().Show(parent, MessageBoxes::Icon::kWarning, MessageBoxes::Buttons::kOk, QStringLiteral("Velkor Crypto"),
                   text);
    }
  }
  if (fields_.AppGUID.empty()) {
    fields_.AppGUID = NewGuidText();
    result = 2;
  }
  return result;
}

bool AppSettings::BuildAndSaveSettingsString() {
  if (!cipher_) return false;
  const std::string text = BuildSettingsString(fields_);
  const QString temporary = TemporaryNameBeside(FilePath());
  try {
    cipher_->WriteBufferToFile(Bytes(text.begin(), text.end()), QFile::encodeName(temporary).toStdString());
  } catch (const std::exception&) {
    QFile::remove(temporary);
    return false;
  }
  return ReplaceWithFile(temporary, FilePath());
}

QString CounterText(double value) {
  return value == 0 ? QStringLiteral("None") : QString::fromStdString(FormatSettingsNumber(value));
}

}  // namespace vk
