#include "crypto/frmEncryptMessage.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStackedLayout>
#include <QToolButton>
#include <QVBoxLayout>

#include "common/Hex.h"
#include "crypto/FileDialogs.h"
#include "crypto/frmCreateKeyPair.h"
#include "settings/ProgramPassword.h"

namespace vk {

namespace {

QGroupBox* NewTextFrame(const char* frameName, const QString& caption, QPlainTextEdit*& box, const char* boxName,
                        QWidget* parent) {
  auto* frame = new QGroupBox(caption, parent);
  frame->setObjectName(QString::fromLatin1(frameName));
  box = new QPlainTextEdit(frame);
  box->setObjectName(QString::fromLatin1(boxName));
  auto* layout = new QVBoxLayout(frame);
  layout->addWidget(box);
  return frame;
}

vkcrypto::Bytes FromHex(const QString& text) {
  std::string hex = text.toStdString();
  Bytes bytes = HexToBytes(hex);
  return vkcrypto::Bytes(bytes.begin(), bytes.end());
}

}  // namespace

frmEncryptMessage::frmEncryptMessage(CryptoViewHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName(QStringLiteral("frmEncryptMessage"));
  fraMsgSrc_ = NewTextFrame("fraMsgSrc", QStringLiteral("Original Message"), txtSrcMsg_, "txtSrcMsg", this);
  fraMsgResult_ =
      NewTextFrame("fraMsgResult", QStringLiteral("Encrypted Message"), txtMsgResult_, "txtMsgResult", this);
  txtMsgResult_->setReadOnly(true);

  fraEncOptions_ = new QGroupBox(QStringLiteral("Password Options"), this);
  fraEncOptions_->setObjectName(QStringLiteral("fraEncOptions"));
  QFormLayout* passwords = NewPasswordRows(fraEncOptions_, txtPWD1_, txtPWD2_);
  auto* optionColumn = new QVBoxLayout;
  auto* optionsLayout = new QHBoxLayout(fraEncOptions_);
  optionsLayout->addLayout(passwords, 1);
  optionsLayout->addLayout(optionColumn);

  fraKeyOptions_ = new QGroupBox(QStringLiteral("Public Key to Encrypt With"), this);
  fraKeyOptions_->setObjectName(QStringLiteral("fraKeyOptions"));
  txtPublicKey_ = new QPlainTextEdit(fraKeyOptions_);
  txtPublicKey_->setObjectName(QStringLiteral("txtPublicKey"));
  txtPublicKey_->setReadOnly(true);
  btnCreateKeyPair_ = new QPushButton(QStringLiteral("Create Key"), fraKeyOptions_);
  btnCreateKeyPair_->setObjectName(QStringLiteral("btnCreateKeyPair"));
  btnLoadKey_ = new QPushButton(QStringLiteral("Load Key..."), fraKeyOptions_);
  btnLoadKey_->setObjectName(QStringLiteral("btnLoadKey"));
  auto* keyButtons = new QVBoxLayout;
  keyButtons->addWidget(btnCreateKeyPair_);
  keyButtons->addWidget(btnLoadKey_);
  keyButtons->addStretch();
  auto* keyLayout = new QHBoxLayout(fraKeyOptions_);
  keyLayout->addWidget(txtPublicKey_, 1);
  keyLayout->addLayout(keyButtons);

  // The algorithm button stays visible in both frames' place: it is how the
  // user leaves RSA mode again.
  options_ = new OptionButtons(this, /*withRsa=*/true);
  optionColumn->addWidget(options_->PwdSizeButton());
  optionColumn->addWidget(options_->HashAlgoButton());
  optionColumn->addWidget(options_->HashValSizeButton());
  options_->PwdSizeButton()->setParent(fraEncOptions_);
  options_->HashAlgoButton()->setParent(fraEncOptions_);
  options_->HashValSizeButton()->setParent(fraEncOptions_);
  optionColumn->addStretch();

  btnCreateDigest_ = new QPushButton(QStringLiteral("Encrypt Text"), this);
  btnCreateDigest_->setObjectName(QStringLiteral("btnCreateDigest"));
  btnCreateDigest_->setEnabled(false);

  auto* frames = new QStackedLayout;
  frames->addWidget(fraEncOptions_);
  frames->addWidget(fraKeyOptions_);
  auto* action = new QHBoxLayout;
  action->addWidget(options_->EncAlgoButton());
  action->addStretch();
  action->addWidget(btnCreateDigest_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(fraMsgSrc_, 1);
  layout->addLayout(frames);
  layout->addLayout(action);
  layout->addWidget(fraMsgResult_, 1);

  connect(options_, &OptionButtons::EncAlgoChanged, this, [this, frames](const QString& key) {
    frames->setCurrentWidget(key == QLatin1String(kAlgoRsa) ? static_cast<QWidget*>(fraKeyOptions_) : fraEncOptions_);
    OnAlgorithmChanged(key);
  });
  connect(txtPWD1_, &QLineEdit::textChanged, this, [this] { if (!RsaMode()) UpdateEnabled(); });
  connect(txtPWD2_, &QLineEdit::textChanged, this, [this] { if (!RsaMode()) UpdateEnabled(); });
  connect(txtPublicKey_, &QPlainTextEdit::textChanged, this, [this] { if (RsaMode()) UpdateEnabled(); });
  connect(btnCreateKeyPair_, &QPushButton::clicked, this, &frmEncryptMessage::CreateKey);
  connect(btnLoadKey_, &QPushButton::clicked, this, &frmEncryptMessage::LoadKey);
  connect(btnCreateDigest_, &QPushButton::clicked, this, &frmEncryptMessage::CreateDigest);
}

frmEncryptMessage::~frmEncryptMessage() {
  // Closed while working: the worker is waited for by the task, but its
  // report never comes, so the wait cursor is put back here.
  if (task_.Running()) QApplication::restoreOverrideCursor();
}

bool frmEncryptMessage::RsaMode() const { return options_->SelectedEncAlgo() == QLatin1String(kAlgoRsa); }

void frmEncryptMessage::SetDoingDecrypt(bool decrypting) {
  doingDecrypt_ = decrypting;
  if (!decrypting) return;
  fraMsgSrc_->setTitle(QStringLiteral("Encrypted Text"));
  fraMsgResult_->setTitle(QStringLiteral("Decrypted Text"));
  fraKeyOptions_->setTitle(QStringLiteral("Private Key to Decrypt With"));
  btnCreateKeyPair_->setEnabled(false);
  btnCreateDigest_->setText(QStringLiteral("Decrypt Text"));
  // A private key comes from elsewhere: pasted into the box or loaded from a file.
  txtPublicKey_->setReadOnly(false);
}

void frmEncryptMessage::OnAlgorithmChanged(const QString&) { UpdateEnabled(); }

void frmEncryptMessage::UpdateEnabled() {
  if (task_.Running()) return;
  if (RsaMode()) {
    btnCreateDigest_->setEnabled(!TrimSpaces(txtPublicKey_->toPlainText()).isEmpty());
    return;
  }
  QString password = TrimSpaces(txtPWD1_->text());
  btnCreateDigest_->setEnabled(!password.isEmpty() && password == TrimSpaces(txtPWD2_->text()));
}

void frmEncryptMessage::CreateKey() {
  QDialog dialog(this);
  dialog.setWindowTitle(QStringLiteral("Create Key Pair"));
  auto* view = new frmCreateKeyPair(host_, &dialog);
  view->SetCopyKeyToTextBox(txtPublicKey_);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(view);
  dialog.resize(720, 520);
  if (QScreen* screen = QApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    dialog.move(area.x() + (area.width() - dialog.width()) / 2, area.y() + (area.height() - dialog.height()) / 2);
  }
  if (dialogRunner_) {
    dialogRunner_(dialog, *view);
  } else {
    dialog.exec();
  }
  // Closed: the view forgets the box. A key pair still being made stops
  // when the view goes with the dialog, at once.
  view->SetCopyKeyToTextBox(nullptr);
}

void frmEncryptMessage::LoadKey() {
  QString path =
      RunFileDialog(this, {false, QStringLiteral("Key file"), QStringLiteral("Key files (*.txt *.key);;All types (*)")});
  if (path.isEmpty()) return;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    host_.ShowMessage(this, CryptoViewHost::Icon::kWarning, QStringLiteral("Load Key"),
                      QStringLiteral("The key file cannot be read: ") + path + QStringLiteral(" (") +
                          file.errorString() + QStringLiteral(")."));
    return;
  }
  txtPublicKey_->setPlainText(QString::fromLatin1(file.read(1 << 20)).trimmed());
}

void frmEncryptMessage::CreateDigest() {
  if (task_.Running()) return;
  host_.SetGeneralStatus(doingDecrypt_ ? QStringLiteral("Decrypting Text...") : QStringLiteral("Encrypting Text..."));
  btnCreateDigest_->setEnabled(false);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  EngineSettings settings = options_->Settings();
  bool rsa = RsaMode();
  bool decrypting = doingDecrypt_;
  QString password = txtPWD1_->text();
  QString key = txtPublicKey_->toPlainText().trimmed();
  QString source = txtSrcMsg_->toPlainText();
  task_.Start(
      [this, settings, rsa, decrypting, password, key, source] {
        if (rsa) {
          cryptMain_.SetMethod(vkcrypto::Method::kRsa);
          if (decrypting) {
            cryptMain_.SetPrivateKey(FromHex(key));
          } else {
            cryptMain_.SetPublicKey(FromHex(key));
          }
        } else {
          ApplyPasswordSetup(cryptMain_, settings, password);
        }
        if (decrypting) {
          result_ = BytesToText(cryptMain_.DecryptBuffer(FromHex(source)));
        } else {
          vkcrypto::Bytes sealed = cryptMain_.EncryptBuffer(TextToBytes(source));
          result_ = QString::fromStdString(BytesToHex(Bytes(sealed.begin(), sealed.end())));
        }
      },
      [this](std::exception_ptr error) { OnFinished(error); });
}

void frmEncryptMessage::OnFinished(std::exception_ptr error) {
  QApplication::restoreOverrideCursor();
  host_.SetGeneralStatus(QStringLiteral("Idle"));
  UpdateEnabled();
  if (error) {
    txtMsgResult_->clear();
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      host_.ShowMessage(this, CryptoViewHost::Icon::kWarning,
                        doingDecrypt_ ? QStringLiteral("Decrypt Message") : QStringLiteral("Encrypt Message"),
                        DescribeEngineFailure(e));
    }
    emit ActionFinished(false);
    return;
  }
  txtMsgResult_->setPlainText(result_);
  if (!doingDecrypt_) host_.CountMessageEncrypted();
  // Keys below the advised size still encrypt; the user hears it was weak.
  if (!doingDecrypt_ && cryptMain_.CurrentMethod() == vkcrypto::Method::kRsa) {
    const QString warning = QString::fromStdString(cryptMain_.RsaKeyWarning());
    if (!warning.isEmpty()) {
      host_.ShowMessage(this, CryptoViewHost::Icon::kWarning, QStringLiteral("Encrypt Message"),
                        warning.left(1).toUpper() + warning.mid(1) + QStringLiteral("."));
    }
  }
  emit ActionFinished(true);
}

}  // namespace vk
