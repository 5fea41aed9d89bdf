#include "stores/frmPasswordMaint.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings/ProgramPassword.h"
#include "stores/VaultStore.h"

namespace vk {

namespace {

QLineEdit* MakeBox(const char* name, QWidget* parent) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setMaxLength(frmPasswordMaint::kLongestField);
  return box;
}

}  // namespace

frmPasswordMaint::frmPasswordMaint(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmPasswordMaint"));
  setWindowTitle(QStringLiteral("Password Maintenance"));
  setModal(true);
  txtWebsite_ = MakeBox("txtWebsite", this);
  txtUserID_ = MakeBox("txtUserID", this);
  txtPWD_ = MakeBox("txtPWD", this);
  txtNotes_ = new QPlainTextEdit(this);
  txtNotes_->setObjectName(QStringLiteral("txtNotes"));
  txtNotes_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  btnOk_ = new QPushButton(QStringLiteral("Save"), this);
  btnOk_->setObjectName(QStringLiteral("btnOk"));
  btnOk_->setEnabled(false);
  auto* btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Program or Website"), txtWebsite_);
  form->addRow(QStringLiteral("User ID"), txtUserID_);
  form->addRow(QStringLiteral("Password"), txtPWD_);
  form->addRow(QStringLiteral("Notes"), txtNotes_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnCancel);
  buttons->addWidget(btnOk_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(buttons);
  setMinimumWidth(420);

  connect(txtWebsite_, &QLineEdit::textChanged, this, &frmPasswordMaint::UpdateSave);
  connect(txtUserID_, &QLineEdit::textChanged, this, &frmPasswordMaint::UpdateSave);
  connect(txtPWD_, &QLineEdit::textChanged, this, &frmPasswordMaint::UpdateSave);
  connect(txtNotes_, &QPlainTextEdit::textChanged, this, [this] {
    const QString text = txtNotes_->toPlainText();
    if (text.size() <= kLongestNotes) return;
    // A paste or a keystroke past the limit is cut back, keeping the cursor.
    QTextCursor cursor = txtNotes_->textCursor();
    const int position = std::min(cursor.position(), kLongestNotes);
    txtNotes_->setPlainText(text.left(kLongestNotes));
    cursor = txtNotes_->textCursor();
    cursor.setPosition(position);
    txtNotes_->setTextCursor(cursor);
  });
  connect(btnOk_, &QPushButton::clicked, this, [this] {
    hitCancel_ = false;
    hide();
    accept();
  });
  connect(btnCancel, &QPushButton::clicked, this, [this] {
    hitCancel_ = true;
    reject();
  });
}

void frmPasswordMaint::UpdateSave() {
  btnOk_->setEnabled(!TrimSpaces(txtWebsite_->text()).isEmpty() && !TrimSpaces(txtUserID_->text()).isEmpty() &&
                     !TrimSpaces(txtPWD_->text()).isEmpty());
}

void frmPasswordMaint::SetEntry(const VaultEntry& entry) {
  txtWebsite_->setText(entry.website);
  txtUserID_->setText(entry.userId);
  txtPWD_->setText(entry.password);
  txtNotes_->setPlainText(entry.notes);
}

VaultEntry frmPasswordMaint::Entry() const {
  return {txtWebsite_->text(), txtUserID_->text(), txtPWD_->text(), txtNotes_->toPlainText()};
}

void frmPasswordMaint::closeEvent(QCloseEvent* event) {
  hitCancel_ = true;
  QDialog::closeEvent(event);
}

}  // namespace vk
