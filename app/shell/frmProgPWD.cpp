#include "shell/frmProgPWD.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "settings/AppSettings.h"
#include "shell/MessageBoxes.h"

namespace vk {

namespace {

QLabel* MakeLabel(const QString& caption, int index, QWidget* parent) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(QStringLiteral("lblLabels"));
  label->setProperty("Index", index);
  return label;
}

QLineEdit* MakeBox(const char* name, QWidget* parent) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setEchoMode(QLineEdit::Password);
  return box;
}

}  // namespace

frmProgPWD::frmProgPWD(AppSettings& settings, PasswordCheck check, QWidget* parent)
    : QDialog(parent), settings_(settings), check_(std::move(check)) {
  setObjectName(QStringLiteral("frmProgPWD"));
  setWindowTitle(QStringLiteral("Set Program Password"));
  setModal(true);

  QLabel* lblCurrent = MakeLabel(QStringLiteral("Enter Current Password"), 2, this);
  txtEnterCurrentPWD_ = MakeBox("txtEnterCurrentPWD", this);
  QLabel* lblPWD1 = MakeLabel(QStringLiteral("Password"), 0, this);
  txtPWD1_ = MakeBox("txtPWD1", this);
  QLabel* lblPWD2 = MakeLabel(QStringLiteral("Re-Enter Password"), 1, this);
  txtPWD2_ = MakeBox("txtPWD2", this);
  btnOk_ = new QPushButton(QStringLiteral("Save"), this);
  btnOk_->setObjectName(QStringLiteral("btnOk"));
  btnOk_->setEnabled(false);
  auto* btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));

  auto* layout = new QGridLayout(this);
  layout->addWidget(lblCurrent, 0, 0);
  layout->addWidget(txtEnterCurrentPWD_, 0, 1);
  layout->addWidget(lblPWD1, 1, 0);
  layout->addWidget(txtPWD1_, 1, 1);
  layout->addWidget(lblPWD2, 2, 0);
  layout->addWidget(txtPWD2_, 2, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOk_);
  buttons->addWidget(btnCancel);
  layout->addLayout(buttons, 3, 0, 1, 2);
  setMinimumWidth(360);

  const bool passwordSet = settings_.IsProgramPasswordSet();
  lblCurrent->setEnabled(passwordSet);
  txtEnterCurrentPWD_->setEnabled(passwordSet);

  auto update = [this] { btnOk_->setEnabled(SetPasswordSaveEnabled(txtPWD1_->text(), txtPWD2_->text())); };
  connect(txtPWD1_, &QLineEdit::textChanged, this, update);
  connect(txtPWD2_, &QLineEdit::textChanged, this, update);
  connect(btnOk_, &QPushButton::clicked, this, &frmProgPWD::Save);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void frmProgPWD::Save() {
  if (!btnOk_->isEnabled()) return;
  // With a password set, changing it needs the current one: the stored form
  // is a verifier, so this is the one place that can check it.
  if (settings_.IsProgramPasswordSet() &&
      !(check_.matches && check_.matches(settings_.ProgramPWD(), txtEnterCurrentPWD_->text()))) {
    Boxes().Show(this, MessageBoxes::Icon::kCritical, MessageBoxes::Buttons::kOk, QStringLiteral("Warning"),
                 QStringLiteral("The current password is not correct."));
    txtEnterCurrentPWD_->setFocus();
    return;
  }
  const QString refusal = NewPasswordRefusal(txtPWD1_->text());
  if (!refusal.isEmpty()) {
    Boxes().Show(this, MessageBoxes::Icon::kWarning, MessageBoxes::Buttons::kOk,
                 QStringLiteral("Set Program Password"), refusal);
    txtPWD1_->setFocus();
    return;
  }
  if (!check_.makeStored) return;
  settings_.SetProgramPWD(check_.makeStored(txtPWD1_->text()));
  hitCancel_ = false;
  accept();
}

}  // namespace vk
