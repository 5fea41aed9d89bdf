#include "shell/frmMain.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDockWidget>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QStatusBar>
#include <QTabBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QWindow>

#include "settings/frmOptions.h"
#include "shell/HelpTexts.h"
#include "shell/frmInfo.h"
#include "shell/frmLogin.h"
#include "shell/frmTasks.h"
#include "shell/frmVelkorCryptoNow.h"

namespace vk {

namespace {

const char* const kKeyProperty = "DocumentKey";

const QString kRecentFilesKey = QStringLiteral("RECENT_FILES");
const QString kPasswordsKey = QStringLiteral("PASSWORDS");
const QString kOptionsKey = QStringLiteral("OPTIONS");
const QString kVelkorNowKey = QStringLiteral("VELKOR_NOW");

}  // namespace

frmMain::frmMain(QString appFolder, StoreViewFactories stores, PasswordCheck check, QWidget* parent)
    : QMainWindow(parent),
      appFolder_(std::move(appFolder)),
      stores_(std::move(stores)),
      check_(std::move(check)),
      settings_(appFolder_) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Velkor Crypto"));
  resize(1000, 700);

  dockMain_ = new QMdiArea(this);
  dockMain_->setObjectName(QStringLiteral("dockMain"));
  dockMain_->setViewMode(QMdiArea::TabbedView);
  dockMain_->setTabsClosable(true);
  dockMain_->setTabsMovable(true);
  dockMain_->setDocumentMode(true);
  setCentralWidget(dockMain_);
  connect(dockMain_, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* window) {
    if (window) ShowHelpOf(window->widget());
  });
  // A view may also open in a dialog of its own (the key pair view of the
  // message view): its text shows while that dialog is active, and the
  // active document's again when this window is.
  connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, &frmMain::ShowHelpOfActiveWindow);

  dockwinTasks_ = new QDockWidget(QStringLiteral("Tasks"), this);
  dockwinTasks_->setObjectName(QStringLiteral("dockwinTasks"));
  dockwinTasks_->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
  addDockWidget(Qt::LeftDockWidgetArea, dockwinTasks_);
  dockwinInfo_ = new QDockWidget(QStringLiteral("Information"), this);
  dockwinInfo_->setObjectName(QStringLiteral("dockwinInfo"));
  addDockWidget(Qt::RightDockWidgetArea, dockwinInfo_);
  dockwinInfo_->installEventFilter(this);
  dockwinTasks_->hide();
  dockwinInfo_->hide();

  auto* tools = new QToolBar(QStringLiteral("Tools"), this);
  tools->setObjectName(QStringLiteral("tlbMain"));
  tools->setMovable(false);
  tools->setToolButtonStyle(Qt::ToolButtonTextOnly);
  addToolBar(Qt::TopToolBarArea, tools);
  btnShowInfo_ = tools->addAction(QStringLiteral("Show Info"));
  btnShowInfo_->setObjectName(QStringLiteral("btnShowInfo"));
  btnShowInfo_->setData(QStringLiteral("SHOW_INFO"));
  btnShowInfo_->setCheckable(true);
  btnShowInfo_->setChecked(true);
  connect(btnShowInfo_, &QAction::triggered, this, &frmMain::ShowInfoClicked);

  auto* barStatus = new QStatusBar(this);
  barStatus->setObjectName(QStringLiteral("barStatus"));
  lblGenStatus_ = new QLabel(barStatus);
  lblGenStatus_->setObjectName(QStringLiteral("lblGenStatus"));
  barStatus->addWidget(lblGenStatus_, 1);
  setStatusBar(barStatus);

  CentreOnScreen();
}

frmMain::~frmMain() {
  UnloadResidentViews();
  // A view closed mid-way reports to this window as it goes, so the views
  // go while the window is still whole.
  qDeleteAll(dockMain_->subWindowList());
}

void frmMain::CentreOnScreen() {
  const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->geometry();
  move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
}

void frmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // Platforms without a window manager (offscreen, a bare X server) may
  // never activate the window, so a shown window counts as activated once.
  if (firstActivation_) QTimer::singleShot(0, this, &frmMain::OnActivate);
}

void frmMain::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) OnActivate();
}

void frmMain::OnActivate() {
  if (!firstActivation_ || closing_) return;
  // Cleared at once: the login below re-activates this window while it runs.
  firstActivation_ = false;
  CentreOnScreen();
  SetGeneralStatus(QStringLiteral("Initializing Application..."));

  // The history view's engine serves settings.dat, so reading the settings
  // loads that view first.
  if (!recent_ && stores_.recentFiles) recent_ = stores_.recentFiles(appFolder_, settings_, *this);
  settings_.SetStoreCipher(recent_ ? recent_->SettingsCipher() : nullptr);
  const int loaded = settings_.GetSettingsFromFile(this);
  if (loaded == 0) {
    close();
    return;
  }
  settingsLoaded_ = true;
  if (closing_) return;

  // With no password set there is nothing the login could check against;
  // the options view still shows the box checked with "Set Password".
  if (settings_.UseProgPWD() && settings_.IsProgramPasswordSet()) {
    auto* login = new frmLogin(settings_.ProgramPWD(), check_, this);
    login->exec();
    const bool cancelled = login->HitCancel();
    delete login;
    if (cancelled || closing_) {
      close();
      return;
    }
  }

  tasks_ = new frmTasks(*this, dockwinTasks_);
  dockwinTasks_->setWidget(tasks_);
  dockwinTasks_->show();
  info_ = new frmInfo(dockwinInfo_);
  dockwinInfo_->setWidget(info_);
  dockwinInfo_->show();
  btnShowInfo_->setChecked(true);

  if (recent_) recent_->LoadRecentFiles();
  if (!passwords_ && stores_.passwords) passwords_ = stores_.passwords(appFolder_, settings_);
  if (passwords_) passwords_->LoadRecentFiles();
  options_ = new frmOptions(settings_, check_, [this] {
    if (recent_) recent_->ClearHistory();
  });
  options_->Load();
  now_ = new frmVelkorCryptoNow(settings_);
  settings_.SetCountersChanged([this] {
    if (now_) now_->RefreshCounters();
  });

  ShowNow();
  SetGeneralStatus(QStringLiteral("Idle"));
  running_ = true;
}

void frmMain::SetGeneralStatus(const QString& sValue) { lblGenStatus_->setText(sValue); }

void frmMain::ShowHelpOf(const QWidget* view) {
  if (!view || !info_) return;
  const QVariant id = view->property(kHelpTextProperty);
  if (id.isValid()) info_->ShowHelp(id.toInt());
}

void frmMain::ShowHelpOfActiveWindow() {
  const QWidget* active = QApplication::activeWindow();
  if (!active) return;
  if (active == this) {
    if (const QMdiSubWindow* document = dockMain_->activeSubWindow()) ShowHelpOf(document->widget());
    return;
  }
  const QList<QWidget*> inside = active->findChildren<QWidget*>();
  const auto view = std::find_if(inside.begin(), inside.end(),
                                 [](const QWidget* w) { return w->property(kHelpTextProperty).isValid(); });
  if (view != inside.end()) ShowHelpOf(*view);
}

QMdiSubWindow* frmMain::FindDocument(const QString& key) const {
  if (key.isEmpty()) return nullptr;
  for (QMdiSubWindow* window : dockMain_->subWindowList())
    if (window->property(kKeyProperty).toString() == key) return window;
  return nullptr;
}

QMdiSubWindow* frmMain::AddDocument(const QString& key, const QString& caption, QWidget* view) {
  QMdiSubWindow* window = dockMain_->addSubWindow(view);
  window->setProperty(kKeyProperty, key);
  window->setWindowTitle(caption);
  // The resident views live for the whole run: closing their tab only hides it.
  window->setAttribute(Qt::WA_DeleteOnClose, key.isEmpty());
  window->showMaximized();
  dockMain_->setActiveSubWindow(window);
  return window;
}

void frmMain::ShowResident(const QString& key, const QString& caption, QWidget* view) {
  if (QMdiSubWindow* window = FindDocument(key)) {
    window->showMaximized();
    dockMain_->setActiveSubWindow(window);
    return;
  }
  if (view) AddDocument(key, caption, view);
}

void frmMain::ShowRecentFiles() { ShowResident(kRecentFilesKey, QStringLiteral("Recent Files"), recent_); }
void frmMain::ShowPasswords() { ShowResident(kPasswordsKey, QStringLiteral("Passwords"), passwords_); }
void frmMain::ShowOptions() { ShowResident(kOptionsKey, QStringLiteral("Options"), options_); }
void frmMain::ShowNow() { ShowResident(kVelkorNowKey, QStringLiteral("Velkor Crypto Now"), now_); }

void frmMain::DoNewCryptoFile(bool bDecrypting, const QString& sFileName) {
  if (!documents_.newCryptoFile) return;
  // The file name only fills the source box of a decryption.
  QWidget* view = documents_.newCryptoFile(bDecrypting, bDecrypting ? sFileName : QString());
  if (view)
    AddDocument({}, bDecrypting ? QStringLiteral("Decrypt File") : QStringLiteral("New Encrypted File"), view);
}

void frmMain::DoNewCryptoMsg(bool bDecrypting) {
  if (!documents_.newCryptoMsg) return;
  if (QWidget* view = documents_.newCryptoMsg(bDecrypting))
    AddDocument({}, bDecrypting ? QStringLiteral("Decrypt Message") : QStringLiteral("New Encrypted Message"), view);
}

void frmMain::DoNewCreateKeyPair(QPlainTextEdit* oTextBox) {
  if (!documents_.newCreateKeyPair) return;
  if (QWidget* view = documents_.newCreateKeyPair(oTextBox))
    AddDocument({}, QStringLiteral("Create Key Pair"), view);
}

void frmMain::DoNewBugReport() {
  if (!documents_.newBugReport) return;
  if (QWidget* view = documents_.newBugReport()) AddDocument({}, QStringLiteral("Support/Suggestions"), view);
}

void frmMain::OpenHomePage() { QDesktopServices::openUrl(QUrl(QString::fromLatin1(kHomePageAddress))); }

void frmMain::ShowInfoClicked() {
  // The action has already flipped its own state with the click.
  dockwinInfo_->setVisible(btnShowInfo_->isChecked());
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == dockwinInfo_ && event->type() == QEvent::Close) btnShowInfo_->setChecked(false);
  return QMainWindow::eventFilter(watched, event);
}

void frmMain::closeEvent(QCloseEvent* event) {
  closing_ = true;
  UnloadResidentViews();
  event->accept();
}

void frmMain::UnloadResidentViews() {
  // The history view's unload writes the settings back; its engine does the
  // writing, so it happens before the view goes. A missing settings file is
  // not created.
  if (settingsLoaded_) {
    settings_.BuildAndSaveSettingsString();
    settingsLoaded_ = false;
  }
  settings_.SetStoreCipher(nullptr);
  settings_.SetCountersChanged({});
  delete recent_.data();
  delete passwords_.data();
  delete options_.data();
  delete now_.data();
}

}  // namespace vk
