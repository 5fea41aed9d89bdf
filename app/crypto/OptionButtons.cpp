#include "crypto/OptionButtons.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

#include <tuple>

namespace vk {

QToolButton* NewMenuButton(const char* objectName, const QString& caption, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setObjectName(QString::fromLatin1(objectName));
  button->setText(caption);
  button->setPopupMode(QToolButton::InstantPopup);
  button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  button->setMinimumWidth(220);
  button->setMenu(new QMenu(button));
  return button;
}

QFormLayout* NewPasswordRows(QWidget* parent, QLineEdit*& txtPWD1, QLineEdit*& txtPWD2) {
  auto* rows = new QFormLayout;
  for (auto [box, name, label] : {std::tuple{&txtPWD1, "txtPWD1", "Password"},
                                  std::tuple{&txtPWD2, "txtPWD2", "Re-Enter Password"}}) {
    *box = new QLineEdit(parent);
    (*box)->setObjectName(QString::fromLatin1(name));
    (*box)->setEchoMode(QLineEdit::Password);
    rows->addRow(QString::fromLatin1(label), *box);
  }
  return rows;
}

OptionButtons::OptionButtons(QWidget* parent, bool withRsa) : QObject(parent) {
  btnEncAlgo_ = NewMenuButton("btnEncAlgo", QStringLiteral("Encryption Algorithm: None Selected"), parent);
  btnPWDSize_ = NewMenuButton("btnPWDSize", QStringLiteral("Password Strength: None Selected"), parent);
  btnHashAlgo_ = NewMenuButton("btnHashAlgo", QStringLiteral("Hashing Algorithm: None Selected"), parent);
  btnHashValSize_ = NewMenuButton("btnHashValSize", QStringLiteral("Hash Size: None Selected"), parent);

  FillMenu(btnEncAlgo_, AlgorithmItems(withRsa), &OptionButtons::SetSelectedEncAlgo);
  SetSelectedEncAlgo(QString::fromLatin1(kAlgoRijndael));
  FillMenu(btnPWDSize_, StrengthItems(), &OptionButtons::SetSelectedPWDSize);
  SetSelectedPWDSize(QStringLiteral("BITS_128"));
  FillMenu(btnHashAlgo_, HashAlgorithmItems(), &OptionButtons::SetSelectedHashAlgo);
  SetSelectedHashAlgo(QString::fromLatin1(kHashSha2));
}

void OptionButtons::FillMenu(QToolButton* button, std::span<const OptionItem> items,
                             void (OptionButtons::*set)(const QString&)) {
  QMenu* menu = button->menu();
  menu->clear();
  for (const OptionItem& item : items) {
    QAction* action = menu->addAction(QString::fromLatin1(item.menuCaption));
    action->setData(QString::fromLatin1(item.key));
    connect(action, &QAction::triggered, this, [this, action, set] { (this->*set)(action->data().toString()); });
  }
}

void OptionButtons::SetSelectedEncAlgo(const QString& key) {
  encAlgo_ = key;
  if (const OptionItem* item = FindAlgorithm(key)) {
    btnEncAlgo_->setText(QString::fromLatin1(item->buttonCaption));
    emit EncAlgoChanged(key);
  }
}

void OptionButtons::SetSelectedPWDSize(const QString& key) {
  pwdSize_ = key;
  if (const OptionItem* item = FindStrength(key)) btnPWDSize_->setText(QString::fromLatin1(item->buttonCaption));
}

void OptionButtons::SetSelectedHashAlgo(const QString& key) {
  hashAlgo_ = key;
  const OptionItem* item = FindHashAlgorithm(key);
  if (!item) return;
  btnHashAlgo_->setText(QString::fromLatin1(item->buttonCaption));
  std::span<const OptionItem> sizes = HashSizeItems(key);
  FillMenu(btnHashValSize_, sizes, &OptionButtons::SetSelectedHashSize);
  SetSelectedHashSize(QString::fromLatin1(sizes.front().key));
}

void OptionButtons::SetSelectedHashSize(const QString& key) {
  hashSize_ = key;
  if (const OptionItem* item = FindHashSize(key)) btnHashValSize_->setText(QString::fromLatin1(item->buttonCaption));
}

}  // namespace vk
