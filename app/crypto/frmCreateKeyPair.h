#pragma once

// Creates an RSA key pair of a chosen size and shows both keys as
// hexadecimal text. Opened from the task pane as a document, or from the
// message view as a dialog that can copy the public key back into it.

#include <QPlainTextEdit>
#include <QPointer>
#include <QWidget>

#include "cryptoengine/CryptoEngine.h"
#include "crypto/BackgroundTask.h"
#include "crypto/CryptoViewHost.h"

class QGroupBox;

class QProgressBar;
class QPushButton;
class QToolButton;

namespace vk {

class frmCreateKeyPair : public QWidget {
  Q_OBJECT

 public:
  explicit frmCreateKeyPair(CryptoViewHost& host, QWidget* parent = nullptr);
  ~frmCreateKeyPair() override;

  const QString& SelectedKeySize() const { return selectedKeySize_; }
  void SetSelectedKeySize(const QString& key);
  int KeySizeBits() const { return keySizeBits_; }

  QPlainTextEdit* CopyKeyToTextBox() const { return copyKeyToTextBox_; }
  void SetCopyKeyToTextBox(QPlainTextEdit* box) { copyKeyToTextBox_ = box; }

  bool Busy() const { return task_.Running(); }
  void CreateKeyPair();
  void CopyKeyBack();

 signals:
  void KeyPairFinished(bool succeeded);

 private:
  void OnCreated(std::exception_ptr error, const QString& publicHex, const QString& privateHex);

  CryptoViewHost& host_;
  vkcrypto::CryptoEngine cryptMain_;
  QString selectedKeySize_;
  int keySizeBits_ = 0;
  QPointer<QPlainTextEdit> copyKeyToTextBox_;
  // Filled by the worker, read once it has finished.
  QString createdPublic_;
  QString createdPrivate_;
  // After everything its worker touches: a view closed mid-creation stops
  // the worker here, before the engine and the results go.
  BackgroundTask task_;

  QToolButton* btnKeySize_;
  QPushButton* btnCreate_;
  QProgressBar* prgBusy_;
  QGroupBox* fraPublicKey_;
  QPlainTextEdit* txtPublicKey_;
  QGroupBox* fraPrivateKey_;
  QPlainTextEdit* txtPrivateKey_;
  QPushButton* btnCopyKeyOver_;
};

}  // namespace vk
