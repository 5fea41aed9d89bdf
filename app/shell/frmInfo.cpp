#include "shell/frmInfo.h"

#include <QTextBrowser>
#include <QVBoxLayout>

#include "shell/HelpTexts.h"

namespace vk {

frmInfo::frmInfo(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("frmInfo"));
  setWindowTitle(QStringLiteral("Information"));
  rchMain_ = new QTextBrowser(this);
  rchMain_->setObjectName(QStringLiteral("rchMain"));
  rchMain_->setOpenLinks(false);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(rchMain_);
}

void frmInfo::ShowHelp(int helpTextId) {
  const QString text = HelpText(helpTextId);
  if (!text.isEmpty()) rchMain_->setHtml(text);
}

}  // namespace vk
