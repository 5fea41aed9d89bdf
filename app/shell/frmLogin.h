#pragma once

// The login that guards the program when a program password is in use.

#include <QDialog>

#include "settings/ProgramPassword.h"

class QLineEdit;
class QPushButton;

namespace vk {

class frmLogin : public QDialog {
  Q_OBJECT
 public:
  frmLogin(QString storedPassword, PasswordCheck check, QWidget* parent = nullptr);

  // True when the dialog was left without a valid password.
  bool HitCancel() const { return hitCancel_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void Enter();

  QString stored_;
  PasswordCheck check_;
  bool hitCancel_ = true;
  QLineEdit* txtEnterCurrentPWD_;
  QPushButton* btnOk_;
};

}  // namespace vk
