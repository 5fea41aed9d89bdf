#include "settings/frmOptions.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings/AppSettings.h"
#include "shell/HelpTexts.h"
#include "shell/MessageBoxes.h"
#include "shell/frmProgPWD.h"

namespace vk {

namespace {

QCheckBox* MakeCheckBox(const char* name, const QString& caption, QWidget* parent) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(QString::fromLatin1(name));
  return box;
}

QPushButton* MakeButton(const char* name, const QString& caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  return button;
}

QGroupBox* MakeFrame(const char* name, const QString& caption, QWidget* parent) {
  auto* frame = new QGroupBox(caption, parent);
  frame->setObjectName(QString::fromLatin1(name));
  return frame;
}

}  // namespace

QString SetPasswordCaption(const AppSettings& settings) {
  return settings.IsProgramPasswordSet() ? QStringLiteral("Change Password") : QStringLiteral("Set Password");
}

frmOptions::frmOptions(AppSettings& settings, PasswordCheck check, std::function<void()> clearHistory,
                       QWidget* parent)
    : QWidget(parent), settings_(settings), check_(std::move(check)), clearHistory_(std::move(clearHistory)) {
  setObjectName(QStringLiteral("frmOptions"));
  setWindowTitle(QStringLiteral("Options"));
  setProperty(kHelpTextProperty, kHelpOptions);

  QGroupBox* fraGenOptions = MakeFrame("fraGenOptions", QStringLiteral("File History"), this);
  chkHoldHistory_ = MakeCheckBox("chkHoldHistory", QStringLiteral("Maintain File History"), fraGenOptions);
  btnClearHistory_ = MakeButton("btnClearHistory", QStringLiteral("Clear History"), fraGenOptions);
  btnClearHistory_->setEnabled(false);
  auto* historyLayout = new QHBoxLayout(fraGenOptions);
  historyLayout->addWidget(chkHoldHistory_);
  historyLayout->addStretch();
  historyLayout->addWidget(btnClearHistory_);

  QGroupBox* fraProgramAccess = MakeFrame("fraProgramAccess", QStringLiteral("Program Access"), this);
  chkUseProgPWD_ = MakeCheckBox("chkUseProgPWD", QStringLiteral("Use Program Password"), fraProgramAccess);
  btnSetPWD_ = MakeButton("btnSetPWD", QStringLiteral("Set Password"), fraProgramAccess);
  btnSetPWD_->setEnabled(false);
  auto* accessLayout = new QHBoxLayout(fraProgramAccess);
  accessLayout->addWidget(chkUseProgPWD_);
  accessLayout->addStretch();
  accessLayout->addWidget(btnSetPWD_);

  QGroupBox* fraMisc = MakeFrame("fraMisc", QStringLiteral("Miscellaneous Options"), this);
  chkEnableRSSFeed_ = MakeCheckBox("chkEnableRSSFeed", QStringLiteral("Enable Velkor News Feed"), fraMisc);
  chkProgUpdates_ =
      MakeCheckBox("chkProgUpdates", QStringLiteral("Enable Automatic Program Updates Checking"), fraMisc);
  auto* miscLayout = new QVBoxLayout(fraMisc);
  miscLayout->addWidget(chkEnableRSSFeed_);
  miscLayout->addWidget(chkProgUpdates_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(fraGenOptions);
  layout->addWidget(fraProgramAccess);
  layout->addWidget(fraMisc);
  layout->addStretch();

  connect(chkHoldHistory_, &QCheckBox::toggled, this, &frmOptions::HoldHistoryToggled);
  connect(btnClearHistory_, &QPushButton::clicked, this, &frmOptions::ClearHistory);
  connect(chkUseProgPWD_, &QCheckBox::toggled, this, &frmOptions::UseProgPWDToggled);
  connect(btnSetPWD_, &QPushButton::clicked, this, &frmOptions::SetPassword);
  connect(chkEnableRSSFeed_, &QCheckBox::toggled, this, [this](bool checked) {
    if (!loading_) settings_.SetEnableNewsFeed(checked);
  });
  connect(chkProgUpdates_, &QCheckBox::toggled, this, [this](bool checked) {
    if (!loading_) settings_.SetAutoProgUpdateCheck(checked);
  });
}

void frmOptions::Load() {
  loading_ = true;
  btnSetPWD_->setText(SetPasswordCaption(settings_));
  chkHoldHistory_->setChecked(settings_.MaintainHistory());
  chkUseProgPWD_->setChecked(settings_.UseProgPWD());
  chkProgUpdates_->setChecked(settings_.AutoProgUpdateCheck());
  chkEnableRSSFeed_->setChecked(settings_.EnableNewsFeed());
  loading_ = false;
}

void frmOptions::HoldHistoryToggled(bool checked) {
  if (checked) {
    btnClearHistory_->setEnabled(true);
  } else {
    ClearHistory();
    btnClearHistory_->setEnabled(false);
  }
  if (!loading_) settings_.SetMaintainHistory(checked);
}

void frmOptions::ClearHistory() {
  if (clearHistory_) clearHistory_();
}

void frmOptions::UseProgPWDToggled(bool checked) {
  if (checked) {
    btnSetPWD_->setText(SetPasswordCaption(settings_));
    btnSetPWD_->setEnabled(true);
    if (!loading_) settings_.SetUseProgPWD(true);
    return;
  }
  const auto answer = Boxes().Show(
      this, MessageBoxes::Icon::kCritical, MessageBoxes::Buttons::kOkCancel, QStringLiteral("WARNING"),
      QStringLiteral("WARNING! Not Utilizng a Program Password will enable anybody using the computer to access "
                     "certains functions such as 'Passwords' with no validation!\r\rAre you sure you wish to "
                     "allow this?"),
      true);
  if (answer == MessageBoxes::Answer::kOk) {
    btnSetPWD_->setEnabled(false);
    if (!loading_) {
      settings_.SetProgramPWD(AppSettings::kUnsetValue);
      settings_.SetUseProgPWD(false);
    }
  } else {
    chkUseProgPWD_->setChecked(true);
  }
}

void frmOptions::SetPassword() {
  frmProgPWD dialog(settings_, check_, this);
  dialog.exec();
}

}  // namespace vk
