#include "crypto/frmCreateKeyPair.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "common/Hex.h"
#include "crypto/CipherOptions.h"
#include "crypto/OptionButtons.h"
#include "shell/HelpTexts.h"

namespace vk {

namespace {

QGroupBox* NewKeyFrame(const char* frameName, const QString& caption, QPlainTextEdit*& box, const char* boxName,
                       QWidget* parent) {
  auto* frame = new QGroupBox(caption, parent);
  frame->setObjectName(QString::fromLatin1(frameName));
  box = new QPlainTextEdit(frame);
  box->setObjectName(QString::fromLatin1(boxName));
  box->setReadOnly(true);
  auto* layout = new QVBoxLayout(frame);
  layout->addWidget(box);
  return frame;
}

QString Hex(const vkcrypto::Bytes& bytes) { return QString::fromStdString(BytesToHex(bytes)); }

}  // namespace

frmCreateKeyPair::frmCreateKeyPair(CryptoViewHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName(QStringLiteral("frmCreateKeyPair"));
  setWindowTitle(QStringLiteral("Create Key Pair"));
  // It also opens as a dialog of the message view, outside the document
  // area, so it carries its help text itself.
  setProperty(kHelpTextProperty, kHelpCreateKeyPair);
  btnKeySize_ = NewMenuButton("btnKeySize", QStringLiteral("Key Size: Not Selected"), this);
  for (const OptionItem& item : KeySizeItems()) {
    QAction* action = btnKeySize_->menu()->addAction(QString::fromLatin1(item.menuCaption));
    action->setData(QString::fromLatin1(item.key));
    connect(action, &QAction::triggered, this, [this, action] { SetSelectedKeySize(action->data().toString()); });
  }
  btnCreate_ = new QPushButton(QStringLiteral("Create Key Pair"), this);
  btnCreate_->setObjectName(QStringLiteral("btnCreate"));
  prgBusy_ = new QProgressBar(this);
  prgBusy_->setObjectName(QStringLiteral("prgBusy"));
  prgBusy_->setRange(0, 0);  // no measure of progress: a busy indicator
  prgBusy_->hide();
  fraPublicKey_ = NewKeyFrame("fraPublicKey", QStringLiteral("Public Key"), txtPublicKey_, "txtPublicKey", this);
  fraPrivateKey_ = NewKeyFrame("fraPrivateKey", QStringLiteral("Private Key"), txtPrivateKey_, "txtPrivateKey", this);
  btnCopyKeyOver_ = new QPushButton(QStringLiteral("Copy Key Back"), this);
  btnCopyKeyOver_->setObjectName(QStringLiteral("btnCopyKeyOver"));
  btnCopyKeyOver_->hide();

  auto* top = new QHBoxLayout;
  top->addWidget(btnKeySize_);
  top->addWidget(btnCreate_);
  top->addWidget(prgBusy_, 1);
  top->addStretch();
  top->addWidget(btnCopyKeyOver_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(fraPublicKey_, 1);
  layout->addWidget(fraPrivateKey_, 2);

  connect(btnCreate_, &QPushButton::clicked, this, &frmCreateKeyPair::CreateKeyPair);
  connect(btnCopyKeyOver_, &QPushButton::clicked, this, &frmCreateKeyPair::CopyKeyBack);
  SetSelectedKeySize(QStringLiteral("KEYSIZE_1024"));
}

frmCreateKeyPair::~frmCreateKeyPair() {
  // Closed while working: the task stops the creation at its next prime
  // candidate, and its report never comes, so the cursor and the status
  // line are put back here.
  if (!task_.Running()) return;
  QApplication::restoreOverrideCursor();
  host_.SetGeneralStatus(QStringLiteral("Idle"));
}

void frmCreateKeyPair::SetSelectedKeySize(const QString& key) {
  selectedKeySize_ = key;
  if (const OptionItem* item = FindKeySize(key)) {
    btnKeySize_->setText(QString::fromLatin1(item->buttonCaption));
    keySizeBits_ = item->bits;
  }
}

void frmCreateKeyPair::CreateKeyPair() {
  if (task_.Running()) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  host_.SetGeneralStatus(QStringLiteral("Creating Key Pair..."));
  btnCreate_->setEnabled(false);
  btnKeySize_->setEnabled(false);
  prgBusy_->show();
  int bits = keySizeBits_;
  task_.Start(
      [this, bits] {
        cryptMain_.SetMethod(vkcrypto::Method::kRsa);
        cryptMain_.CreateKeyPair(bits, [this](uint64_t, uint64_t) { return !task_.CancelRequested(); });
        createdPublic_ = Hex(cryptMain_.PublicKey());
        createdPrivate_ = Hex(cryptMain_.PrivateKey());
      },
      [this](std::exception_ptr error) { OnCreated(error, createdPublic_, createdPrivate_); });
}

void frmCreateKeyPair::OnCreated(std::exception_ptr error, const QString& publicHex, const QString& privateHex) {
  prgBusy_->hide();
  btnCreate_->setEnabled(true);
  btnKeySize_->setEnabled(true);
  bool succeeded = !error;
  if (succeeded) {
    txtPublicKey_->setPlainText(publicHex);
    txtPrivateKey_->setPlainText(privateHex);
    if (copyKeyToTextBox_) btnCopyKeyOver_->show();
  }
  host_.SetGeneralStatus(QStringLiteral("Idle"));
  QApplication::restoreOverrideCursor();
  if (error) {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      host_.ShowMessage(this, CryptoViewHost::Icon::kWarning, QStringLiteral("Create Key Pair"),
                        QStringLiteral("The key pair could not be created: ") + QString::fromUtf8(e.what()));
    }
  }
  emit KeyPairFinished(succeeded);
}

void frmCreateKeyPair::CopyKeyBack() {
  if (copyKeyToTextBox_) copyKeyToTextBox_->setPlainText(txtPublicKey_->toPlainText());
}

}  // namespace vk
