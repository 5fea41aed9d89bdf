#pragma once

// The application's settings and usage counters for one run, and settings.dat
// in the program's folder that keeps them between runs.

#include <functional>

#include <QString>

#include "settings/SettingsString.h"

class QWidget;

namespace vk {

class StoreCipher;

class AppSettings {
 public:
  // The value ProgramPWD holds when no password is set (as does empty text).
  static inline const QString kUnsetValue = QStringLiteral("UNSETVALUE");

  explicit AppSettings(QString appFolder);

  QString AppGUID() const { return QString::fromStdString(fields_.AppGUID); }
  void SetAppGUID(const QString& v) { fields_.AppGUID = v.toStdString(); }
  bool MaintainHistory() const { return fields_.MaintainHistory; }
  void SetMaintainHistory(bool v) { fields_.MaintainHistory = v; }
  bool UseProgPWD() const { return fields_.UseProgPWD; }
  void SetUseProgPWD(bool v) { fields_.UseProgPWD = v; }
  // The stored form of the program password: a verifier, never the password.
  QString ProgramPWD() const { return QString::fromStdString(fields_.ProgramPWD); }
  void SetProgramPWD(const QString& v) { fields_.ProgramPWD = v.toStdString(); }
  bool AutoProgUpdateCheck() const { return fields_.AutoProgUpdateCheck; }
  void SetAutoProgUpdateCheck(bool v) { fields_.AutoProgUpdateCheck = v; }
  bool EnableNewsFeed() const { return fields_.EnableNewsFeed; }
  void SetEnableNewsFeed(bool v) { fields_.EnableNewsFeed = v; }
  double MessagesEncrypted() const { return fields_.MessagesEncrypted; }
  void SetMessagesEncrypted(double v);
  double FilesEncrypted() const { return fields_.FilesEncrypted; }
  void SetFilesEncrypted(double v);
  double TotalPasswords() const { return fields_.TotalPasswords; }
  void SetTotalPasswords(double v);

  bool IsProgramPasswordSet() const;

  // Called after any counter is written, so the usage summary can follow.
  void SetCountersChanged(std::function<void()> callback) { countersChanged_ = std::move(callback); }

  // The engine instance that reads and writes settings.dat (the history
  // view's); without one the file is treated as unreadable.
  void SetStoreCipher(StoreCipher* cipher) { cipher_ = cipher; }
  QString FilePath() const;
  // The folder of settings.dat and the two stores.
  const QString& Folder() const { return appFolder_; }

  // 0: the file is missing (the user has been told; the caller ends the
  // program); 1: loaded; 2: loaded, and a new installation identifier made.
  int GetSettingsFromFile(QWidget* parent = nullptr);
  // Returns false when the file could not be written.
  bool BuildAndSaveSettingsString();

  const SettingsFields& Fields() const { return fields_; }

 private:
  void CountersChanged();

  QString appFolder_;
  SettingsFields fields_;
  StoreCipher* cipher_ = nullptr;
  std::function<void()> countersChanged_;
};

// How the usage summary shows a counter: "None" for 0, else the number.
QString CounterText(double value);

}  // namespace vk
