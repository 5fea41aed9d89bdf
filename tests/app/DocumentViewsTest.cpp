// The views any number of which may be open, as the program ships them: the
// main window's dispatch procedures open the real file, message, key pair
// and support views, wired to its status line, message boxes, history,
// counters and information pane.

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBrowser>

#include "TestSupport.h"
#include "crypto/frmEncryptFile.h"
#include "crypto/frmCreateKeyPair.h"
#include "crypto/frmEncryptMessage.h"
#include "shell/DocumentViews.h"
#include "shell/HelpTexts.h"
#include "shell/frmMain.h"
#include "stores/StoreViewFactories.h"
#include "support/SupportRequest.h"
#include "support/frmBugReport.h"

namespace vk {
namespace {

class DocumentViewsTest : public ::testing::Test {
 protected:
  std::unique_ptr<frmMain> Start() {
    test::WriteAll(QDir(dir_.path()).filePath(QStringLiteral("settings.dat")), {});
    auto window = std::make_unique<frmMain>(dir_.path(), MakeStoreViewFactories(), EnginePasswordCheck());
    window->SetDocumentViewFactories(MakeDocumentViewFactories(*window));
    window->show();
    test::ProcessEvents();
    return window;
  }
  static QString ActiveCaption(frmMain& window) {
    QMdiSubWindow* active = window.Documents()->activeSubWindow();
    return active ? active->windowTitle() : QString();
  }
  template <class T>
  static T* ActiveView(frmMain& window) {
    QMdiSubWindow* active = window.Documents()->activeSubWindow();
    return active ? qobject_cast<T*>(active->widget()) : nullptr;
  }
  QTemporaryDir dir_;
  test::ScriptedBoxes boxes_;
};

TEST_F(DocumentViewsTest, AnEncryptedFileIsCountedRecordedOnlyWithHistoryOnAndReopenedForDecryption) {
  auto window = Start();
  ASSERT_TRUE(window->IsRunning());
  ASSERT_FALSE(window->Settings().MaintainHistory());
  test::WriteAll(QDir(dir_.path()).filePath("notes.txt"), "the notes");
  auto encrypt = [&](const QString& destination) {
    window->DoNewCryptoFile();
    EXPECT_EQ(ActiveCaption(*window), "New Encrypted File");
    auto* view = ActiveView<frmEncryptFile>(*window);
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(test::Find<QTextBrowser>(window.get(), "rchMain")->toPlainText().contains(
        HelpHeading(kHelpFileEncryption)));
    test::TypeInto(test::Find<QLineEdit>(view, "txtSrcFile"), QDir(dir_.path()).filePath("notes.txt"));
    test::TypeInto(test::Find<QLineEdit>(view, "txtFileResult"), QDir(dir_.path()).filePath(destination));
    test::TypeInto(test::Find<QLineEdit>(view, "txtPWD1"), "pw");
    test::TypeInto(test::Find<QLineEdit>(view, "txtPWD2"), "pw");
    QSignalSpy done(view, &frmEncryptFile::ActionFinished);
    test::Click(test::Find<QPushButton>(view, "btnCreateDigest"));
    EXPECT_EQ(test::Find<QLabel>(window.get(), "lblGenStatus")->text(), "Encrypting File...");
    ASSERT_TRUE(done.wait(120000));
    EXPECT_EQ(test::Find<QLabel>(window.get(), "lblGenStatus")->text(), "Idle");
    ASSERT_FALSE(boxes_.shown.empty());
    EXPECT_EQ(boxes_.shown.back().text, "File Encryption is Successful");
  };

  // "Maintain File History" off: counted, but the file is remembered nowhere.
  encrypt("secret.vkf");
  EXPECT_EQ(window->Settings().FilesEncrypted(), 1);
  EXPECT_EQ(test::Find<QLabel>(window.get(), "lblFilesEnc")->text(), "1");
  EXPECT_FALSE(QFile::exists(QDir(dir_.path()).filePath("recent_files.rss")));
  window->ShowRecentFiles();
  auto* grid = test::Find<QTableWidget>(window.get(), "grdFiles");
  EXPECT_EQ(grid->rowCount(), 0);

  window->Settings().SetMaintainHistory(true);
  encrypt("notes.vkf");
  EXPECT_EQ(window->Settings().FilesEncrypted(), 2);
  EXPECT_TRUE(QFile::exists(QDir(dir_.path()).filePath("recent_files.rss")));
  window->ShowRecentFiles();
  ASSERT_EQ(grid->rowCount(), 1);
  EXPECT_EQ(grid->item(0, 0)->text(), "notes.vkf");
  emit grid->cellDoubleClicked(0, 0);
  EXPECT_EQ(ActiveCaption(*window), "Decrypt File");
  auto* decrypt = ActiveView<frmEncryptFile>(*window);
  ASSERT_NE(decrypt, nullptr);
  EXPECT_TRUE(decrypt->DoingDecrypt());
  EXPECT_EQ(test::Find<QLineEdit>(decrypt, "txtSrcFile")->text(), QDir(dir_.path()).filePath("notes.vkf"));
}

TEST_F(DocumentViewsTest, TheOtherViewsOpenWithTheirCaptionsAndHelpTexts) {
  auto window = Start();
  auto* info = test::Find<QTextBrowser>(window.get(), "rchMain");

  window->DoNewCryptoMsg(true);
  EXPECT_EQ(ActiveCaption(*window), "Decrypt Message");
  ASSERT_NE(ActiveView<frmEncryptMessage>(*window), nullptr);
  EXPECT_TRUE(ActiveView<frmEncryptMessage>(*window)->DoingDecrypt());
  EXPECT_TRUE(info->toPlainText().contains(HelpHeading(kHelpMessageEncryption)));

  // "Create Key" of the message view opens the key pair view as a dialog,
  // which brings its own text; the message view's comes back with it closed.
  window->DoNewCryptoMsg();
  auto* message = ActiveView<frmEncryptMessage>(*window);
  ASSERT_NE(message, nullptr);
  message->Options().SetSelectedEncAlgo("ALGO_RSA");
  QString shownInDialog;
  message->SetDialogRunner([&](QDialog& dialog, frmCreateKeyPair&) {
    dialog.show();
    test::ProcessEvents();
    shownInDialog = info->toPlainText();
    dialog.close();
  });
  test::Click(test::Find<QPushButton>(message, "btnCreateKeyPair"));
  window->activateWindow();  // as a window manager does when a dialog closes
  test::ProcessEvents();
  EXPECT_TRUE(shownInDialog.startsWith(HelpHeading(kHelpCreateKeyPair))) << shownInDialog.toStdString();
  EXPECT_TRUE(info->toPlainText().startsWith(HelpHeading(kHelpMessageEncryption)));

  window->DoNewCreateKeyPair();
  EXPECT_EQ(ActiveCaption(*window), "Create Key Pair");
  EXPECT_TRUE(info->toPlainText().contains(HelpHeading(kHelpCreateKeyPair)));
  EXPECT_FALSE(test::Find<QPushButton>(window->Documents()->activeSubWindow()->widget(), "btnCopyKeyOver")
                   ->isVisibleTo(window.get()));

  window->DoNewBugReport();
  EXPECT_EQ(ActiveCaption(*window), "Support/Suggestions");
  ASSERT_NE(ActiveView<frmBugReport>(*window), nullptr);
  EXPECT_TRUE(info->toPlainText().contains(HelpHeading(kHelpSupport)));
  // The text describes the two scales in the words of their menus.
  const QString support = info->toPlainText();
  for (const auto& [label, items] : {std::pair{"Severity:", SeverityItems()}, {"Criticality:", CriticalityItems()}}) {
    const QString scale = QStringLiteral("from %1 to %2")
                              .arg(QString::fromLatin1(items.front().caption), QString::fromLatin1(items.back().caption));
    const qsizetype start = support.indexOf(QString::fromLatin1(label));
    ASSERT_GE(start, 0) << label;
    const QString line = support.mid(start, support.indexOf(QLatin1Char('\n'), start) - start);
    EXPECT_TRUE(line.contains(scale)) << line.toStdString();
  }

  window->DoNewCryptoFile(false, "/ignored/when/encrypting.txt");
  EXPECT_EQ(ActiveCaption(*window), "New Encrypted File");
  EXPECT_TRUE(test::Find<QLineEdit>(ActiveView<frmEncryptFile>(*window), "txtSrcFile")->text().isEmpty());
}

}  // namespace
}  // namespace vk
