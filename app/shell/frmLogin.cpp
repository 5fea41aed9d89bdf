#include "shell/frmLogin.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "shell/MessageBoxes.h"

namespace vk {

frmLogin::frmLogin(QString storedPassword, PasswordCheck check, QWidget* parent)
    : QDialog(parent), stored_(std::move(storedPassword)), check_(std::move(check)) {
  setObjectName(QStringLiteral("frmLogin"));
  setWindowTitle(QStringLiteral("Validation"));
  setModal(true);

  auto* lblLabels = new QLabel(QStringLiteral("Enter Program Password"), this);
  lblLabels->setObjectName(QStringLiteral("lblLabels"));
  txtEnterCurrentPWD_ = new QLineEdit(this);
  txtEnterCurrentPWD_->setObjectName(QStringLiteral("txtEnterCurrentPWD"));
  txtEnterCurrentPWD_->setEchoMode(QLineEdit::Password);
  btnOk_ = new QPushButton(QStringLiteral("Enter"), this);
  btnOk_->setObjectName(QStringLiteral("btnOk"));
  btnOk_->setEnabled(false);
  btnOk_->setDefault(true);
  auto* btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOk_);
  buttons->addWidget(btnCancel);
  auto* layout = new QGridLayout(this);
  layout->addWidget(lblLabels, 0, 0);
  layout->addWidget(txtEnterCurrentPWD_, 1, 0);
  layout->addLayout(buttons, 2, 0);
  setMinimumWidth(320);

  connect(txtEnterCurrentPWD_, &QLineEdit::textChanged, this,
          [this](const QString& text) { btnOk_->setEnabled(LoginEnterEnabled(text)); });
  connect(btnOk_, &QPushButton::clicked, this, &frmLogin::Enter);
  connect(btnCancel, &QPushButton::clicked, this, [this] {
    hitCancel_ = true;
    reject();
  });
}

void frmLogin::Enter() {
  if (!btnOk_->isEnabled()) return;
  // The typed text goes to the check untrimmed: a password that begins with
  // a space needs that space.
  if (!check_.matches || !check_.matches(stored_, txtEnterCurrentPWD_->text())) {
    Boxes().Show(this, MessageBoxes::Icon::kCritical, MessageBoxes::Buttons::kOk, QStringLiteral("Warning"),
                 QStringLiteral("Invalid Password!"));
    txtEnterCurrentPWD_->setFocus();
    return;
  }
  hitCancel_ = false;
  accept();
}

void frmLogin::closeEvent(QCloseEvent* event) {
  hitCancel_ = true;
  QDialog::closeEvent(event);
}

}  // namespace vk
