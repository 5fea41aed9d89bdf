#pragma once

// Encrypts one file into another with a password, or decrypts such a file.
// The work runs off the user-interface thread with a progress bar and a
// Cancel button; a failed or cancelled run leaves the destination as it was.

#include <QWidget>

#include "cryptoengine/CryptoEngine.h"
#include "crypto/BackgroundTask.h"
#include "crypto/CryptoViewHost.h"
#include "crypto/OptionButtons.h"

class QGroupBox;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace vk {

class frmEncryptFile : public QWidget {
  Q_OBJECT

 public:
  explicit frmEncryptFile(CryptoViewHost& host, QWidget* parent = nullptr);

  bool DoingDecrypt() const { return doingDecrypt_; }
  void SetDoingDecrypt(bool decrypting);
  OptionButtons& Options() { return *options_; }
  // The history opens a decryption with the source already chosen.
  void SetSourceFile(const QString& path);
  bool Busy() const { return task_.Running(); }

  void SetDefaultDestination();
  void CreateDigest();

 signals:
  // The action is over, successfully or not.
  void ActionFinished(bool succeeded);

 private:
  void ChooseSource();
  void ChooseDestination();
  void UpdateEnabled();
  void SetRunning(bool running);
  void OnFinished(std::exception_ptr error, const QString& destination);

  CryptoViewHost& host_;
  vkcrypto::CryptoEngine cryptMain_;
  BackgroundTask task_;
  bool doingDecrypt_ = false;

  QGroupBox* fraMsgSrc_;
  QLineEdit* txtSrcFile_;
  QPushButton* btnSrcFileName_;
  QGroupBox* fraMsgResult_;
  QLineEdit* txtFileResult_;
  QPushButton* btnDestFileName_;
  QGroupBox* fraEncOptions_;
  QLineEdit* txtPWD1_;
  QLineEdit* txtPWD2_;
  OptionButtons* options_;
  QPushButton* btnCreateDigest_;
  QProgressBar* prgProgress_;
  QPushButton* btnCancel_;
};

}  // namespace vk
