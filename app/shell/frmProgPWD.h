#pragma once

// Sets or changes the program password; opened from the options view.

#include <QDialog>

#include "settings/ProgramPassword.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace vk {

class AppSettings;

class frmProgPWD : public QDialog {
  Q_OBJECT
 public:
  frmProgPWD(AppSettings& settings, PasswordCheck check, QWidget* parent = nullptr);

  bool HitCancel() const { return hitCancel_; }

 private:
  void Save();

  AppSettings& settings_;
  PasswordCheck check_;
  bool hitCancel_ = true;
  QLineEdit* txtEnterCurrentPWD_;
  QLineEdit* txtPWD1_;
  QLineEdit* txtPWD2_;
  QPushButton* btnOk_;
};

}  // namespace vk
