#pragma once

// The resident "Options" view: the user-changeable settings as check boxes,
// each change written into the settings at once.

#include <functional>

#include <QWidget>

#include "settings/ProgramPassword.h"

class QCheckBox;
class QPushButton;

namespace vk {

class AppSettings;

// "Set Password" while none is set, "Change Password" once one is.
QString SetPasswordCaption(const AppSettings& settings);

class frmOptions : public QWidget {
  Q_OBJECT
 public:
  // clearHistory empties the history view and deletes its file.
  frmOptions(AppSettings& settings, PasswordCheck check, std::function<void()> clearHistory,
             QWidget* parent = nullptr);

  // Fills the boxes from the settings without writing them back.
  void Load();

 private:
  void HoldHistoryToggled(bool checked);
  void UseProgPWDToggled(bool checked);
  void ClearHistory();
  void SetPassword();

  AppSettings& settings_;
  PasswordCheck check_;
  std::function<void()> clearHistory_;
  bool loading_ = false;
  QCheckBox* chkHoldHistory_;
  QPushButton* btnClearHistory_;
  QCheckBox* chkUseProgPWD_;
  QPushButton* btnSetPWD_;
  QCheckBox* chkEnableRSSFeed_;
  QCheckBox* chkProgUpdates_;
};

}  // namespace vk
