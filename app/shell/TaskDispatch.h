#pragma once

// The main window's view-dispatch procedures, as the task pane and the views
// call them.

#include <QString>

class QPlainTextEdit;

namespace vk {

class TaskDispatch {
 public:
  virtual ~TaskDispatch() = default;
  virtual void DoNewCryptoFile(bool bDecrypting = false, const QString& sFileName = {}) = 0;
  virtual void DoNewCryptoMsg(bool bDecrypting = false) = 0;
  virtual void DoNewCreateKeyPair(QPlainTextEdit* oTextBox = nullptr) = 0;
  virtual void DoNewBugReport() = 0;
  virtual void ShowRecentFiles() = 0;
  virtual void ShowPasswords() = 0;
  virtual void ShowOptions() = 0;
  virtual void ShowNow() = 0;
  virtual void OpenHomePage() = 0;
};

// The maker's home page, opened by the task pane and written into the
// stores' channels.
inline constexpr const char* kHomePageAddress = "https://www.velkor.example/";

}  // namespace vk
