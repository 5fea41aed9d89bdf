#pragma once

// The two resident store views as the main window sees them: the history
// (whose engine also serves settings.dat) and the password vault. The
// program makes them with the factories of app/stores.

#include <functional>

#include <QWidget>

namespace vk {

class AppSettings;
class StoreCipher;
class TaskDispatch;

class RecentFilesView : public QWidget {
 public:
  using QWidget::QWidget;
  virtual void LoadRecentFiles() = 0;
  virtual void AddToRecentFiles(const QString& sFileName, const QString& sPath, const QString& sType) = 0;
  // Cuts the list to nothing and deletes the history file.
  virtual void ClearHistory() = 0;
  // Null when the engine could not be set up.
  virtual StoreCipher* SettingsCipher() = 0;
};

class PasswordsView : public QWidget {
 public:
  using QWidget::QWidget;
  virtual void LoadRecentFiles() = 0;
};

struct StoreViewFactories {
  std::function<RecentFilesView*(const QString& appFolder, AppSettings& settings, TaskDispatch& dispatch)>
      recentFiles;
  std::function<PasswordsView*(const QString& appFolder, AppSettings& settings)> passwords;
};

// The makers of the views of which any number may be open (file, message,
// key pair, support request); the program sets them in DocumentViews.cpp.
// Without a maker its dispatch procedure opens nothing.
struct DocumentViewFactories {
  std::function<QWidget*(bool bDecrypting, const QString& sFileName)> newCryptoFile;
  std::function<QWidget*(bool bDecrypting)> newCryptoMsg;
  std::function<QWidget*(QWidget* oTextBox)> newCreateKeyPair;
  std::function<QWidget*()> newBugReport;
};

}  // namespace vk
