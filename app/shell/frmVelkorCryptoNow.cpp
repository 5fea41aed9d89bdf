#include "shell/frmVelkorCryptoNow.h"

#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include "settings/AppSettings.h"
#include "shell/HelpTexts.h"
#include "vk/Version.h"

namespace vk {

namespace {

QLabel* ValueLabel(const char* name, const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

}  // namespace

frmVelkorCryptoNow::frmVelkorCryptoNow(const AppSettings& settings, QWidget* parent)
    : QWidget(parent), settings_(settings) {
  setObjectName(QStringLiteral("frmVelkorCryptoNow"));
  setWindowTitle(QStringLiteral("Velkor Crypto Now"));
  setProperty(kHelpTextProperty, kHelpVelkorNow);

  auto* fraVersionInfo = new QGroupBox(QStringLiteral("Program Information"), this);
  fraVersionInfo->setObjectName(QStringLiteral("fraVersionInfo"));
  auto* versionLayout = new QFormLayout(fraVersionInfo);
  versionLayout->addRow(QStringLiteral("Version:"),
                        ValueLabel("lblVer",
                                   QStringLiteral("%1.%2.%3").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionRevision),
                                   fraVersionInfo));
  versionLayout->addRow(QStringLiteral("Copyright:"),
                        ValueLabel("lblCopyright", QString::fromUtf8(kLegalNotice), fraVersionInfo));
  // Beside the program in a portable copy, in the user's data folder once installed.
  versionLayout->addRow(QStringLiteral("Data Folder:"),
                        ValueLabel("lblDataFolder", QDir::toNativeSeparators(settings.Folder()), fraVersionInfo));

  auto* fraGenStatus = new QGroupBox(QStringLiteral("General Statistics"), this);
  fraGenStatus->setObjectName(QStringLiteral("fraGenStatus"));
  auto* statusLayout = new QFormLayout(fraGenStatus);
  lblStoredPWD_ = ValueLabel("lblStoredPWD", {}, fraGenStatus);
  lblFilesEnc_ = ValueLabel("lblFilesEnc", {}, fraGenStatus);
  lblMsgEncrypted_ = ValueLabel("lblMsgEncrypted", {}, fraGenStatus);
  statusLayout->addRow(QStringLiteral("Stored Passwords:"), lblStoredPWD_);
  statusLayout->addRow(QStringLiteral("Files Encrypted:"), lblFilesEnc_);
  statusLayout->addRow(QStringLiteral("Messages Encrypted:"), lblMsgEncrypted_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(fraVersionInfo);
  layout->addWidget(fraGenStatus);
  layout->addStretch();
  RefreshCounters();
}

void frmVelkorCryptoNow::RefreshCounters() {
  lblStoredPWD_->setText(CounterText(settings_.TotalPasswords()));
  lblFilesEnc_->setText(CounterText(settings_.FilesEncrypted()));
  lblMsgEncrypted_->setText(CounterText(settings_.MessagesEncrypted()));
}

}  // namespace vk
