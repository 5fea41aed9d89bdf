#include "shell/frmTasks.h"

#include <QFrame>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "shell/TaskDispatch.h"

namespace vk {

TaskPane::TaskPane(QWidget* parent) : QWidget(parent) {
  layout_ = new QVBoxLayout(this);
  layout_->setContentsMargins(6, 6, 6, 6);
  layout_->setSpacing(4);
  layout_->addStretch();
}

void TaskPane::AddGroup(const QString& caption, const QString& key) {
  auto* header = new QToolButton(this);
  header->setObjectName(key);
  header->setText(caption);
  header->setCheckable(true);
  header->setChecked(true);
  header->setArrowType(Qt::DownArrow);
  header->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  header->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  header->setStyleSheet(QStringLiteral("QToolButton { font-weight: bold; color: #ffffff; background: #3d6aa8;"
                                       " border: none; padding: 4px; text-align: left; }"));
  auto* body = new QFrame(this);
  body->setObjectName(key + QStringLiteral("_items"));
  body->setStyleSheet(QStringLiteral("QFrame#%1 { background: #eef3fa; border: 1px solid #c5d4ea; }")
                          .arg(body->objectName()));
  auto* bodyLayout = new QVBoxLayout(body);
  bodyLayout->setContentsMargins(8, 4, 8, 4);
  bodyLayout->setSpacing(2);
  connect(header, &QToolButton::toggled, body, [header, body](bool open) {
    body->setVisible(open);
    header->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
  });
  const int at = layout_->count() - 1;  // before the closing stretch
  layout_->insertWidget(at, header);
  layout_->insertWidget(at + 1, body);
}

void TaskPane::AddItem(const QString& groupKey, const QString& caption, const QString& key) {
  auto* body = findChild<QFrame*>(groupKey + QStringLiteral("_items"));
  if (!body) return;
  auto* item = new QPushButton(caption, body);
  item->setObjectName(key);
  item->setFlat(true);
  item->setCursor(Qt::PointingHandCursor);
  item->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  item->setStyleSheet(QStringLiteral("QPushButton { color: #1b3f73; text-align: left; border: none; padding: 2px; }"
                                     "QPushButton:hover { text-decoration: underline; }"));
  static_cast<QVBoxLayout*>(body->layout())->addWidget(item);
  connect(item, &QPushButton::clicked, this, [this, key] { emit ItemClick(key); });
}

frmTasks::frmTasks(TaskDispatch& dispatch, QWidget* parent) : QWidget(parent), dispatch_(dispatch) {
  setObjectName(QStringLiteral("frmTasks"));
  setWindowTitle(QStringLiteral("Crypto Tasks"));
  auto* exbarTasks = new TaskPane(this);
  exbarTasks->setObjectName(QStringLiteral("exbarTasks"));
  exbarTasks->AddGroup(QStringLiteral("Velkor"), QStringLiteral("GROUP_VELKOR"));
  exbarTasks->AddItem(QStringLiteral("GROUP_VELKOR"), QStringLiteral("Velkor Crypto Now"),
                      QStringLiteral("VELKOR_CRYPTO_NOW"));
  exbarTasks->AddItem(QStringLiteral("GROUP_VELKOR"), QStringLiteral("Velkor Home Page"),
                      QStringLiteral("VELKOR_HOME_PAGE"));
  exbarTasks->AddItem(QStringLiteral("GROUP_VELKOR"), QStringLiteral("Support/Suggestions"),
                      QStringLiteral("VELKOR_CRYPTO_SUPPORT"));
  exbarTasks->AddGroup(QStringLiteral("File Encryption"), QStringLiteral("GROUP_FILE_ENCRYPT"));
  exbarTasks->AddItem(QStringLiteral("GROUP_FILE_ENCRYPT"), QStringLiteral("Create Encrypted File"),
                      QStringLiteral("CREATE_ENC_FILE"));
  exbarTasks->AddItem(QStringLiteral("GROUP_FILE_ENCRYPT"), QStringLiteral("Open Encrypted File"),
                      QStringLiteral("OPEN_ENC_FILE"));
  exbarTasks->AddGroup(QStringLiteral("Text Encryption"), QStringLiteral("GROUP_MSG_CRYPTO"));
  exbarTasks->AddItem(QStringLiteral("GROUP_MSG_CRYPTO"), QStringLiteral("Create New Message"),
                      QStringLiteral("CREATE_CRYPTO_MESSAGE"));
  exbarTasks->AddItem(QStringLiteral("GROUP_MSG_CRYPTO"), QStringLiteral("Decrypt Message"),
                      QStringLiteral("DECRYPT_TEXT"));
  exbarTasks->AddGroup(QStringLiteral("Tools"), QStringLiteral("GROUP_TOOLS"));
  exbarTasks->AddItem(QStringLiteral("GROUP_TOOLS"), QStringLiteral("Recent Files"),
                      QStringLiteral("SHOW_RECENT_FILES"));
  exbarTasks->AddItem(QStringLiteral("GROUP_TOOLS"), QStringLiteral("Passwords"), QStringLiteral("SHOW_PASSWORDS"));
  exbarTasks->AddItem(QStringLiteral("GROUP_TOOLS"), QStringLiteral("Create Public/Private Keys"),
                      QStringLiteral("CREATE_KEY_PAIR"));
  exbarTasks->AddItem(QStringLiteral("GROUP_TOOLS"), QStringLiteral("Options"), QStringLiteral("SHOW_OPTIONS"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(exbarTasks);
  connect(exbarTasks, &TaskPane::ItemClick, this, &frmTasks::ItemClick);
}

void frmTasks::ItemClick(const QString& key) {
  if (key == QLatin1String("VELKOR_CRYPTO_NOW")) dispatch_.ShowNow();
  else if (key == QLatin1String("VELKOR_HOME_PAGE")) dispatch_.OpenHomePage();
  else if (key == QLatin1String("VELKOR_CRYPTO_SUPPORT")) dispatch_.DoNewBugReport();
  else if (key == QLatin1String("CREATE_ENC_FILE")) dispatch_.DoNewCryptoFile(false);
  else if (key == QLatin1String("OPEN_ENC_FILE")) dispatch_.DoNewCryptoFile(true);
  else if (key == QLatin1String("CREATE_CRYPTO_MESSAGE")) dispatch_.DoNewCryptoMsg(false);
  else if (key == QLatin1String("DECRYPT_TEXT")) dispatch_.DoNewCryptoMsg(true);
  else if (key == QLatin1String("SHOW_RECENT_FILES")) dispatch_.ShowRecentFiles();
  else if (key == QLatin1String("SHOW_PASSWORDS")) dispatch_.ShowPasswords();
  else if (key == QLatin1String("CREATE_KEY_PAIR")) dispatch_.DoNewCreateKeyPair(nullptr);
  else if (key == QLatin1String("SHOW_OPTIONS")) dispatch_.ShowOptions();
}

}  // namespace vk
