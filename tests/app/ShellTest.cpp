// The main window's start-up, dispatch, panes and exit, with stand-in store
// views that record what the window asks of them.

#include <QPlainTextEdit>
#include <QAction>
#include <QDir>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QAbstractButton>

#include "TestSupport.h"
#include "shell/HelpTexts.h"
#include "shell/frmMain.h"

namespace vk {
namespace {

using test::Find;

class RecordingRecentFiles : public RecentFilesView {
 public:
  explicit RecordingRecentFiles(QStringList& log) : log_(log) { log_ << "recent:made"; }
  void LoadRecentFiles() override { log_ << "recent:load"; }
  void AddToRecentFiles(const QString& name, const QString&, const QString&) override { log_ << "recent:add:" + name; }
  void ClearHistory() override { log_ << "recent:clear"; }
  StoreCipher* SettingsCipher() override { return &cipher_; }

 private:
  QStringList& log_;
  test::ReversingCipher cipher_;
};

class RecordingPasswords : public PasswordsView {
 public:
  explicit RecordingPasswords(QStringList& log) : log_(log) { log_ << "passwords:made"; }
  void LoadRecentFiles() override { log_ << "passwords:load"; }

 private:
  QStringList& log_;
};

// What a document view was made with.
struct MadeView {
  QString kind;
  bool decrypting;
  QString fileName;
};

class ShellTest : public ::testing::Test {
 protected:
  QString SettingsPath() const { return QDir(dir_.path()).filePath(QStringLiteral("settings.dat")); }
  void WriteSettings(const QByteArray& text) {
    const Bytes sealed = cipher_.Encrypt(Bytes(text.begin(), text.end()));
    test::WriteAll(SettingsPath(),
                   QByteArray(reinterpret_cast<const char*>(sealed.data()), static_cast<qsizetype>(sealed.size())));
  }
  QByteArray ReadSettings() {
    const QByteArray sealed = test::ReadAll(SettingsPath());
    const Bytes plain = cipher_.Decrypt(Bytes(sealed.begin(), sealed.end()));
    return QByteArray(reinterpret_cast<const char*>(plain.data()), static_cast<qsizetype>(plain.size()));
  }
  std::unique_ptr<frmMain> Start() {
    StoreViewFactories stores;
    stores.recentFiles = [this](const QString&, AppSettings&, TaskDispatch&) -> RecentFilesView* {
      return new RecordingRecentFiles(log_);
    };
    stores.passwords = [this](const QString&, AppSettings&) -> PasswordsView* { return new RecordingPasswords(log_); };
    auto window = std::make_unique<frmMain>(dir_.path(), stores, check_);
    DocumentViewFactories documents;
    documents.newCryptoFile = [this](bool decrypting, const QString& name) {
      made_.push_back({QStringLiteral("file"), decrypting, name});
      auto* view = new QLabel(QStringLiteral("file view"));
      view->setProperty(kHelpTextProperty, kHelpFileEncryption);
      return view;
    };
    documents.newCryptoMsg = [this](bool decrypting) {
      made_.push_back({QStringLiteral("message"), decrypting, {}});
      return new QLabel(QStringLiteral("message view"));
    };
    documents.newCreateKeyPair = [this](QWidget* target) {
      made_.push_back({QStringLiteral("keys"), false, target ? target->objectName() : QString()});
      return new QLabel(QStringLiteral("key view"));
    };
    window->SetDocumentViewFactories(documents);
    window->show();
    test::ProcessEvents();
    return window;
  }
  QString ActiveCaption(frmMain& window) {
    QMdiSubWindow* active = window.Documents()->activeSubWindow();
    return active ? active->windowTitle() : QString();
  }
  QString InfoText(frmMain& window) { return Find<QTextBrowser>(&window, "rchMain")->toPlainText(); }

  QTemporaryDir dir_;
  test::ReversingCipher cipher_;
  test::ScriptedBoxes boxes_;
  PasswordCheck check_ = test::TestPasswordCheck();
  QStringList log_;
  std::vector<MadeView> made_;
};

TEST_F(ShellTest, WithoutSettingsFileTheProgramSaysSoAndClosesWritingNothing) {
  auto window = Start();
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].title, QStringLiteral("Critical Error"));
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(window->IsRunning());
  EXPECT_FALSE(QFile::exists(SettingsPath()));
  EXPECT_EQ(log_, QStringList{QStringLiteral("recent:made")});
}

TEST_F(ShellTest, AnEmptySettingsFileStartsInOrderShowsTheSummaryAndIsWrittenAtExit) {
  test::WriteAll(SettingsPath(), {});
  auto window = Start();
  ASSERT_TRUE(window->IsRunning());
  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Velkor Crypto"));
  EXPECT_EQ(log_, (QStringList{"recent:made", "recent:load", "passwords:made", "passwords:load"}));
  EXPECT_EQ(Find<QLabel>(window.get(), "lblGenStatus")->text(), QStringLiteral("Idle"));
  EXPECT_TRUE(Find<QDockWidget>(window.get(), "dockwinTasks")->isVisible());
  EXPECT_TRUE(Find<QDockWidget>(window.get(), "dockwinInfo")->isVisible());
  EXPECT_EQ(Find<QDockWidget>(window.get(), "dockwinTasks")->windowTitle(), QStringLiteral("Tasks"));
  EXPECT_EQ(Find<QDockWidget>(window.get(), "dockwinInfo")->windowTitle(), QStringLiteral("Information"));
  EXPECT_EQ(window->Documents()->subWindowList().size(), 1);
  EXPECT_EQ(ActiveCaption(*window), QStringLiteral("Velkor Crypto Now"));
  EXPECT_TRUE(InfoText(*window).startsWith(QStringLiteral("Velkor Crypto Now")));
  EXPECT_EQ(Find<QLabel>(window.get(), "lblFilesEnc")->text(), QStringLiteral("None"));
  EXPECT_EQ(Find<QLabel>(window.get(), "lblVer")->text(), QStringLiteral("1.0.1"));
  EXPECT_EQ(Find<QLabel>(window.get(), "lblDataFolder")->text(), dir_.path());
  window->Settings().SetFilesEncrypted(1);
  EXPECT_EQ(Find<QLabel>(window.get(), "lblFilesEnc")->text(), QStringLiteral("1"));
  window->Settings().SetFilesEncrypted(300000);
  EXPECT_EQ(Find<QLabel>(window.get(), "lblFilesEnc")->text(), QStringLiteral("300000"));

  // Activating the window again repeats nothing.
  window->OnActivate();
  window->activateWindow();
  test::ProcessEvents();
  EXPECT_EQ(log_.size(), 4);
  EXPECT_EQ(window->Documents()->subWindowList().size(), 1);

  const QString guid = window->Settings().AppGUID();
  window->close();
  EXPECT_EQ(ReadSettings(), guid.toLatin1() + "|0|0|300000||0|0||0|0|");
}

TEST_F(ShellTest, TheLoginLetsInOnlyTheRightPasswordAndCancelEndsTheProgram) {
  const QString stored = check_.makeStored(QStringLiteral("Open Sesame"));
  const QByteArray text = "{3F2504E0-4F89-41D3-9A0C-0305E82C3301}|0|0|2||0|0|" + stored.toLatin1() + "|0|-1|";
  WriteSettings(text);
  {
    test::ModalAnswerer answer(QStringLiteral("frmLogin"), [](QWidget* login) {
      test::TypeInto(login->findChild<QLineEdit*>(QStringLiteral("txtEnterCurrentPWD")), QStringLiteral("open sesame"));
      login->findChild<QPushButton*>(QStringLiteral("btnOk"))->click();
      test::TypeInto(login->findChild<QLineEdit*>(QStringLiteral("txtEnterCurrentPWD")), QStringLiteral("Open Sesame"));
      login->findChild<QPushButton*>(QStringLiteral("btnOk"))->click();
    });
    auto window = Start();
    EXPECT_TRUE(answer.Answered());
    EXPECT_TRUE(window->IsRunning());
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(boxes_.shown[0].text, QStringLiteral("Invalid Password!"));
    window->close();
  }
  log_.clear();
  {
    test::ModalAnswerer answer(QStringLiteral("frmLogin"), [](QWidget* login) {
      login->findChild<QPushButton*>(QStringLiteral("btnCancel"))->click();
    });
    auto window = Start();
    EXPECT_TRUE(answer.Answered());
    EXPECT_FALSE(window->IsRunning());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->Documents()->subWindowList().size(), 0);
    EXPECT_EQ(log_, QStringList{QStringLiteral("recent:made")});
  }
  // Written back unchanged on the way out.
  EXPECT_EQ(ReadSettings(), text);
}

TEST_F(ShellTest, TheTaskPaneDispatchesEveryItemAndResidentViewsOpenOnce) {
  test::WriteAll(SettingsPath(), {});
  auto window = Start();
  auto click = [&](const char* key) { Find<QAbstractButton>(window.get(), key)->click(); };

  click("SHOW_OPTIONS");
  click("SHOW_OPTIONS");
  window->ShowOptions();
  EXPECT_EQ(ActiveCaption(*window), QStringLiteral("Options"));
  EXPECT_EQ(window->Documents()->subWindowList().size(), 2);
  EXPECT_TRUE(InfoText(*window).startsWith(QStringLiteral("Options")));
  click("SHOW_RECENT_FILES");
  click("SHOW_PASSWORDS");
  EXPECT_EQ(ActiveCaption(*window), QStringLiteral("Passwords"));
  click("VELKOR_CRYPTO_NOW");
  EXPECT_EQ(ActiveCaption(*window), QStringLiteral("Velkor Crypto Now"));
  EXPECT_EQ(window->Documents()->subWindowList().size(), 4);

  click("OPEN_ENC_FILE");
  EXPECT_EQ(ActiveCaption(*window), QStringLiteral("Decrypt File"));
  EXPECT_TRUE(InfoText(*window).startsWith(QStringLiteral("File Encryption/Decryption")));
  click("CREATE_ENC_FILE");
  EXPECT_EQ(ActiveCaption(*window), QStringLiteral("New Encrypted File"));
  click("CREATE_CRYPTO_MESSAGE");
  EXPECT_EQ(ActiveCaption(*window), QStringLiteral("New Encrypted Message"));
  click("DECRYPT_TEXT");
  EXPECT_EQ(ActiveCaption(*window), QStringLiteral("Decrypt Message"));
  click("CREATE_KEY_PAIR");
  EXPECT_EQ(ActiveCaption(*window), QStringLiteral("Create Key Pair"));
  click("VELKOR_CRYPTO_SUPPORT");  // this window was given no support view maker: nothing opens
  EXPECT_EQ(ActiveCaption(*window), QStringLiteral("Create Key Pair"));

  window->DoNewCryptoFile(true, QStringLiteral("/home/u/a.vkf"));
  window->DoNewCryptoFile(false, QStringLiteral("/home/u/b.txt"));
  QPlainTextEdit target;
  target.setObjectName(QStringLiteral("txtPublicKey"));
  window->DoNewCreateKeyPair(&target);
  ASSERT_EQ(made_.size(), 8u);
  EXPECT_EQ(made_[0].kind, QStringLiteral("file"));
  EXPECT_TRUE(made_[0].decrypting);
  EXPECT_EQ(made_[0].fileName, QString());
  EXPECT_FALSE(made_[1].decrypting);
  EXPECT_FALSE(made_[2].decrypting);
  EXPECT_TRUE(made_[3].decrypting);
  EXPECT_EQ(made_[4].fileName, QString());
  EXPECT_TRUE(made_[5].decrypting);
  EXPECT_EQ(made_[5].fileName, QStringLiteral("/home/u/a.vkf"));
  EXPECT_FALSE(made_[6].decrypting);
  EXPECT_EQ(made_[6].fileName, QString());
  EXPECT_EQ(made_[7].fileName, QStringLiteral("txtPublicKey"));

  // Closing a view of which many may be open ends it; a resident one only hides.
  const int before = window->Documents()->subWindowList().size();
  window->Documents()->activeSubWindow()->close();
  test::ProcessEvents();
  EXPECT_EQ(window->Documents()->subWindowList().size(), before - 1);
  window->FindDocument(QStringLiteral("OPTIONS"))->close();
  test::ProcessEvents();
  window->ShowOptions();
  EXPECT_EQ(ActiveCaption(*window), QStringLiteral("Options"));
  EXPECT_EQ(window->Documents()->subWindowList().size(), before - 1);
}

TEST_F(ShellTest, ShowInfoTogglesTheInformationPaneAndFollowsItsCloseBox) {
  test::WriteAll(SettingsPath(), {});
  auto window = Start();
  auto* showInfo = window->findChild<QAction*>(QStringLiteral("btnShowInfo"));
  ASSERT_NE(showInfo, nullptr);
  auto* pane = Find<QDockWidget>(window.get(), "dockwinInfo");
  EXPECT_EQ(showInfo->text(), QStringLiteral("Show Info"));
  EXPECT_EQ(showInfo->data().toString(), QStringLiteral("SHOW_INFO"));
  EXPECT_TRUE(showInfo->isChecked());
  showInfo->trigger();
  EXPECT_FALSE(showInfo->isChecked());
  EXPECT_FALSE(pane->isVisible());
  showInfo->trigger();
  EXPECT_TRUE(showInfo->isChecked());
  EXPECT_TRUE(pane->isVisible());
  pane->close();
  EXPECT_FALSE(showInfo->isChecked());
  EXPECT_FALSE(pane->isVisible());
  showInfo->trigger();
  EXPECT_TRUE(pane->isVisible());
}

TEST_F(ShellTest, OptionsClearTheHistoryThroughItsView) {
  WriteSettings("{3F2504E0-4F89-41D3-9A0C-0305E82C3301}|0|0|0||-1|0|UNSETVALUE|0|0|");
  auto window = Start();
  window->ShowOptions();
  Find<QPushButton>(window.get(), "btnClearHistory")->click();
  EXPECT_TRUE(log_.contains(QStringLiteral("recent:clear")));
}

}  // namespace
}  // namespace vk
