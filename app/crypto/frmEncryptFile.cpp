#include "crypto/frmEncryptFile.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "crypto/FileDialogs.h"
#include "crypto/FilePaths.h"
#include "settings/ProgramPassword.h"

namespace vk {

namespace {

QGroupBox* NewPathFrame(const char* frameName, QLineEdit*& box, const char* boxName, QPushButton*& button,
                        const char* buttonName, QWidget* parent) {
  auto* frame = new QGroupBox(parent);
  frame->setObjectName(QString::fromLatin1(frameName));
  box = new QLineEdit(frame);
  box->setObjectName(QString::fromLatin1(boxName));
  button = new QPushButton(QStringLiteral("..."), frame);
  button->setObjectName(QString::fromLatin1(buttonName));
  button->setFixedWidth(32);
  auto* layout = new QHBoxLayout(frame);
  layout->addWidget(box, 1);
  layout->addWidget(button);
  return frame;
}

}  // namespace

frmEncryptFile::frmEncryptFile(CryptoViewHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName(QStringLiteral("frmEncryptFile"));
  fraMsgSrc_ = NewPathFrame("fraMsgSrc", txtSrcFile_, "txtSrcFile", btnSrcFileName_, "btnSrcFileName", this);
  fraMsgSrc_->setTitle(QStringLiteral("Original File"));
  fraMsgResult_ =
      NewPathFrame("fraMsgResult", txtFileResult_, "txtFileResult", btnDestFileName_, "btnDestFileName", this);
  fraMsgResult_->setTitle(QStringLiteral("Encrypted File"));

  fraEncOptions_ = new QGroupBox(QStringLiteral("Password Options"), this);
  fraEncOptions_->setObjectName(QStringLiteral("fraEncOptions"));
  QFormLayout* passwords = NewPasswordRows(fraEncOptions_, txtPWD1_, txtPWD2_);
  options_ = new OptionButtons(fraEncOptions_, /*withRsa=*/false);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(options_->EncAlgoButton());
  buttons->addWidget(options_->PwdSizeButton());
  buttons->addWidget(options_->HashAlgoButton());
  buttons->addWidget(options_->HashValSizeButton());
  auto* optionsLayout = new QHBoxLayout(fraEncOptions_);
  optionsLayout->addLayout(passwords, 1);
  optionsLayout->addLayout(buttons);

  btnCreateDigest_ = new QPushButton(QStringLiteral("Encrypt File"), this);
  btnCreateDigest_->setObjectName(QStringLiteral("btnCreateDigest"));
  btnCreateDigest_->setEnabled(false);
  prgProgress_ = new QProgressBar(this);
  prgProgress_->setObjectName(QStringLiteral("prgProgress"));
  prgProgress_->setRange(0, 1000);
  prgProgress_->hide();
  btnCancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  btnCancel_->setObjectName(QStringLiteral("btnCancel"));
  btnCancel_->hide();

  auto* action = new QHBoxLayout;
  action->addWidget(prgProgress_, 1);
  action->addWidget(btnCancel_);
  action->addStretch();
  action->addWidget(btnCreateDigest_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(fraMsgSrc_);
  layout->addWidget(fraMsgResult_);
  layout->addWidget(fraEncOptions_);
  layout->addLayout(action);
  layout->addStretch();

  for (QLineEdit* box : {txtSrcFile_, txtFileResult_, txtPWD1_, txtPWD2_}) {
    connect(box, &QLineEdit::textChanged, this, &frmEncryptFile::UpdateEnabled);
  }
  connect(btnSrcFileName_, &QPushButton::clicked, this, &frmEncryptFile::ChooseSource);
  connect(btnDestFileName_, &QPushButton::clicked, this, &frmEncryptFile::ChooseDestination);
  connect(btnCreateDigest_, &QPushButton::clicked, this, &frmEncryptFile::CreateDigest);
  connect(btnCancel_, &QPushButton::clicked, this, [this] { task_.RequestCancel(); });
  connect(&task_, &BackgroundTask::Progress, prgProgress_, &QProgressBar::setValue);
}

void frmEncryptFile::SetDoingDecrypt(bool decrypting) {
  doingDecrypt_ = decrypting;
  if (!decrypting) return;
  fraMsgSrc_->setTitle(QStringLiteral("Encrypted File"));
  fraMsgResult_->setTitle(QStringLiteral("Decrypted File"));
  btnCreateDigest_->setText(QStringLiteral("Decrypt File"));
}

void frmEncryptFile::SetSourceFile(const QString& path) { txtSrcFile_->setText(path); }

void frmEncryptFile::ChooseSource() {
  QString path = RunFileDialog(this, {false, QStringLiteral("Source file"), QStringLiteral("All types (*)")});
  if (path.isEmpty()) return;
  txtSrcFile_->setText(path);
  if (!doingDecrypt_) SetDefaultDestination();
}

void frmEncryptFile::ChooseDestination() {
  QString path = RunFileDialog(this, {true, QStringLiteral("Destination file"),
                                      QStringLiteral("Velkor Encrypted Files (*.vkf);;All type (*)")});
  if (!path.isEmpty()) txtFileResult_->setText(path);
}

void frmEncryptFile::SetDefaultDestination() {
  if (!txtFileResult_->text().isEmpty()) return;
  QString destination = DefaultDestination(txtSrcFile_->text());
  if (!destination.isEmpty()) txtFileResult_->setText(destination);
}

void frmEncryptFile::UpdateEnabled() {
  if (task_.Running()) return;
  QString password = TrimSpaces(txtPWD1_->text());
  btnCreateDigest_->setEnabled(!TrimSpaces(txtSrcFile_->text()).isEmpty() &&
                               !TrimSpaces(txtFileResult_->text()).isEmpty() && !password.isEmpty() &&
                               password == TrimSpaces(txtPWD2_->text()));
}

void frmEncryptFile::SetRunning(bool running) {
  for (QWidget* w : std::initializer_list<QWidget*>{fraMsgSrc_, fraMsgResult_, fraEncOptions_, btnCreateDigest_}) {
    w->setEnabled(!running);
  }
  prgProgress_->setValue(0);
  prgProgress_->setVisible(running);
  btnCancel_->setVisible(running);
  if (!running) UpdateEnabled();
}

void frmEncryptFile::CreateDigest() {
  if (task_.Running()) return;
  host_.SetGeneralStatus(doingDecrypt_ ? QStringLiteral("Decrypting File...") : QStringLiteral("Encrypting File..."));
  EngineSettings settings = options_->Settings();
  QString password = txtPWD1_->text();
  std::string source = txtSrcFile_->text().toStdString();
  QString destination = txtFileResult_->text();
  std::string destinationPath = destination.toStdString();
  bool decrypting = doingDecrypt_;
  SetRunning(true);
  task_.Start(
      [this, settings, password, source, destinationPath, decrypting] {
        vkcrypto::Progress progress = [this](uint64_t done, uint64_t total) {
          task_.ReportProgress(total == 0 ? 1000 : static_cast<int>(done * 1000 / total));
          return !task_.CancelRequested();
        };
        ApplyPasswordSetup(cryptMain_, settings, password);
        if (decrypting) {
          cryptMain_.DecryptFile(source, destinationPath, progress);
        } else {
          cryptMain_.EncryptFile(source, destinationPath, progress);
        }
      },
      [this, destination](std::exception_ptr error) { OnFinished(error, destination); });
}

void frmEncryptFile::OnFinished(std::exception_ptr error, const QString& destination) {
  SetRunning(false);
  host_.SetGeneralStatus(QStringLiteral("Idle"));
  if (error) {
    try {
      std::rethrow_exception(error);
    } catch (const vkcrypto::EngineError& e) {
      if (e.Kind() != vkcrypto::ErrorKind::kCancelled) {
        host_.ShowMessage(this, CryptoViewHost::Icon::kWarning, QStringLiteral("Status"), DescribeEngineFailure(e));
      }
    } catch (const std::exception& e) {
      host_.ShowMessage(this, CryptoViewHost::Icon::kWarning, QStringLiteral("Status"), DescribeEngineFailure(e));
    }
    emit ActionFinished(false);
    return;
  }
  if (!doingDecrypt_) {
    FolderAndName parts = SplitFolder(destination);
    host_.AddToRecentFiles(parts.name, parts.folder, QStringLiteral("Encrypted File"));
    host_.CountFileEncrypted();
  }
  host_.ShowMessage(this, CryptoViewHost::Icon::kInformation, QStringLiteral("Status"),
                    QStringLiteral("File Encryption is Successful"));
  emit ActionFinished(true);
}

}  // namespace vk
