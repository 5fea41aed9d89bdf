#pragma once

// The program's only top-level window: the docked task and information
// panes, the tabbed document area, the status line, the start-up sequence
// and the view-dispatch procedures.

#include <QMainWindow>
#include <QPointer>

#include "settings/AppSettings.h"
#include "settings/ProgramPassword.h"
#include "shell/StoreViews.h"
#include "shell/TaskDispatch.h"

class QAction;
class QDockWidget;
class QLabel;
class QMdiArea;
class QMdiSubWindow;

namespace vk {

class frmInfo;
class frmOptions;
class frmTasks;
class frmVelkorCryptoNow;

class frmMain : public QMainWindow, public TaskDispatch {
  Q_OBJECT
 public:
  frmMain(QString appFolder, StoreViewFactories stores, PasswordCheck check, QWidget* parent = nullptr);
  ~frmMain() override;

  void SetDocumentViewFactories(DocumentViewFactories factories) { documents_ = std::move(factories); }

  // The activation handler: runs the start-up sequence the first time only.
  void OnActivate();
  // True once start-up reached "Idle".
  bool IsRunning() const { return running_; }

  void DoNewCryptoFile(bool bDecrypting = false, const QString& sFileName = {}) override;
  void DoNewCryptoMsg(bool bDecrypting = false) override;
  void DoNewCreateKeyPair(QPlainTextEdit* oTextBox = nullptr) override;
  void DoNewBugReport() override;
  void ShowRecentFiles() override;
  void ShowPasswords() override;
  void ShowOptions() override;
  void ShowNow() override;
  void OpenHomePage() override;
  void SetGeneralStatus(const QString& sValue = {});

  AppSettings& Settings() { return settings_; }
  RecentFilesView* RecentFiles() const { return recent_; }
  QMdiArea* Documents() const { return dockMain_; }
  // The document window with that key, or null.
  QMdiSubWindow* FindDocument(const QString& key) const;

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CentreOnScreen();
  QMdiSubWindow* AddDocument(const QString& key, const QString& caption, QWidget* view);
  void ShowResident(const QString& key, const QString& caption, QWidget* view);
  void UnloadResidentViews();
  void ShowInfoClicked();
  // The information pane follows the view, or the dialog, the user works in.
  void ShowHelpOf(const QWidget* view);
  void ShowHelpOfActiveWindow();

  QString appFolder_;
  StoreViewFactories stores_;
  PasswordCheck check_;
  DocumentViewFactories documents_;
  AppSettings settings_;
  bool firstActivation_ = true;
  bool running_ = false;
  bool closing_ = false;
  bool settingsLoaded_ = false;

  QMdiArea* dockMain_;
  QDockWidget* dockwinTasks_;
  QDockWidget* dockwinInfo_;
  QAction* btnShowInfo_;
  QLabel* lblGenStatus_;
  frmTasks* tasks_ = nullptr;
  frmInfo* info_ = nullptr;
  QPointer<RecentFilesView> recent_;
  QPointer<PasswordsView> passwords_;
  QPointer<frmOptions> options_;
  QPointer<frmVelkorCryptoNow> now_;
};

}  // namespace vk
