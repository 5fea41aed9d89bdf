#pragma once

// Encrypts a typed or pasted message into upper-case hexadecimal text, or
// turns such text back into the message, with a password or an RSA key.

#include <QWidget>

#include <functional>

#include "cryptoengine/CryptoEngine.h"
#include "crypto/BackgroundTask.h"
#include "crypto/CryptoViewHost.h"
#include "crypto/OptionButtons.h"

class QDialog;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vk {

class frmCreateKeyPair;

class frmEncryptMessage : public QWidget {
  Q_OBJECT

 public:
  explicit frmEncryptMessage(CryptoViewHost& host, QWidget* parent = nullptr);
  ~frmEncryptMessage() override;

  bool DoingDecrypt() const { return doingDecrypt_; }
  void SetDoingDecrypt(bool decrypting);
  OptionButtons& Options() { return *options_; }
  bool RsaMode() const;
  bool Busy() const { return task_.Running(); }

  void CreateDigest();
  // "Create Key": a key pair view shown as a dialog that may copy its public
  // key into this view's key box.
  void CreateKey();
  // Reads a key file holding the hexadecimal text of a key into the key box.
  void LoadKey();

  // How the key pair dialog is shown; tests drive it instead of a person.
  using DialogRunner = std::function<void(QDialog& dialog, frmCreateKeyPair& view)>;
  void SetDialogRunner(DialogRunner runner) { dialogRunner_ = std::move(runner); }

 signals:
  void ActionFinished(bool succeeded);

 private:
  void OnAlgorithmChanged(const QString& key);
  void UpdateEnabled();
  void OnFinished(std::exception_ptr error);

  CryptoViewHost& host_;
  vkcrypto::CryptoEngine cryptMain_;
  bool doingDecrypt_ = false;
  DialogRunner dialogRunner_;
  QString result_;  // written by the worker, shown once it has finished
  // After everything its worker touches, so that a view closed mid-way
  // waits for the worker before the engine and the result go.
  BackgroundTask task_;

  QGroupBox* fraMsgSrc_;
  QPlainTextEdit* txtSrcMsg_;
  QGroupBox* fraMsgResult_;
  QPlainTextEdit* txtMsgResult_;
  QGroupBox* fraEncOptions_;
  QLineEdit* txtPWD1_;
  QLineEdit* txtPWD2_;
  OptionButtons* options_;
  QGroupBox* fraKeyOptions_;
  QPlainTextEdit* txtPublicKey_;
  QPushButton* btnCreateKeyPair_;
  QPushButton* btnLoadKey_;
  QPushButton* btnCreateDigest_;
};

}  // namespace vk
