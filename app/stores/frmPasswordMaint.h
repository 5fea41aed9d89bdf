#pragma once

// The editor of one vault entry, shown modally by the "Passwords" view.

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vk {

struct VaultEntry;

class frmPasswordMaint : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kLongestField = 100;
  static constexpr int kLongestNotes = 255;

  explicit frmPasswordMaint(QWidget* parent = nullptr);

  bool HitCancel() const { return hitCancel_; }
  void SetEntry(const VaultEntry& entry);
  VaultEntry Entry() const;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void UpdateSave();

  bool hitCancel_ = true;
  QLineEdit* txtWebsite_;
  QLineEdit* txtUserID_;
  QLineEdit* txtPWD_;
  QPlainTextEdit* txtNotes_;
  QPushButton* btnOk_;
};

}  // namespace vk
