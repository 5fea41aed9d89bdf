#pragma once

// The four drop-down buttons of the cipher options, shared by the file and
// the message view. Each setter stores the key first, then updates what the
// key changes; a key its table does not list is stored and changes nothing.

#include <QObject>
#include <QString>

#include <span>

#include "crypto/CipherOptions.h"

class QFormLayout;
class QLineEdit;
class QToolButton;
class QWidget;

namespace vk {

class OptionButtons : public QObject {
  Q_OBJECT

 public:
  // Builds the buttons as children of parent; withRsa adds the RSA item to
  // the algorithm menu.
  OptionButtons(QWidget* parent, bool withRsa);

  QToolButton* EncAlgoButton() const { return btnEncAlgo_; }
  QToolButton* PwdSizeButton() const { return btnPWDSize_; }
  QToolButton* HashAlgoButton() const { return btnHashAlgo_; }
  QToolButton* HashValSizeButton() const { return btnHashValSize_; }

  const QString& SelectedEncAlgo() const { return encAlgo_; }
  const QString& SelectedPWDSize() const { return pwdSize_; }
  const QString& SelectedHashAlgo() const { return hashAlgo_; }
  const QString& SelectedHashSize() const { return hashSize_; }

  void SetSelectedEncAlgo(const QString& key);
  void SetSelectedPWDSize(const QString& key);
  void SetSelectedHashAlgo(const QString& key);
  void SetSelectedHashSize(const QString& key);

  EngineSettings Settings() const { return MapOptions(encAlgo_, pwdSize_, hashAlgo_, hashSize_); }

 signals:
  void EncAlgoChanged(const QString& key);

 private:
  void FillMenu(QToolButton* button, std::span<const OptionItem> items, void (OptionButtons::*set)(const QString&));

  QToolButton* btnEncAlgo_;
  QToolButton* btnPWDSize_;
  QToolButton* btnHashAlgo_;
  QToolButton* btnHashValSize_;
  QString encAlgo_;
  QString pwdSize_;
  QString hashAlgo_;
  QString hashSize_;
};

// A drop-down button as the views use them: text only, menu on click.
QToolButton* NewMenuButton(const char* objectName, const QString& caption, QWidget* parent);

// The two masked password boxes, "Password" and "Re-Enter Password", as rows
// of the returned layout.
QFormLayout* NewPasswordRows(QWidget* parent, QLineEdit*& txtPWD1, QLineEdit*& txtPWD2);

}  // namespace vk
