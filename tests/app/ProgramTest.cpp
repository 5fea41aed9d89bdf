// The whole program as it ships: real store views, engine and control, from
// an empty settings.dat to a second run that finds everything again; and a
// picture of each resident view for anyone without a display.

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

#include "TestSupport.h"
#include "settings/StoreEngine.h"
#include "shell/frmMain.h"
#include "stores/StoreViewFactories.h"
#include "stores/frmPasswords.h"

namespace vk {
namespace {

class ProgramTest : public ::testing::Test {
 protected:
  std::unique_ptr<frmMain> Start() {
    auto window = std::make_unique<frmMain>(dir_.path(), MakeStoreViewFactories(), EnginePasswordCheck());
    window->show();
    test::ProcessEvents();
    return window;
  }
  QTemporaryDir dir_;
  test::ScriptedBoxes boxes_;
};

TEST_F(ProgramTest, AVaultEntryAndTheCountersSurviveARestart) {
  test::WriteAll(QDir(dir_.path()).filePath(QStringLiteral("settings.dat")), {});
  QString guid;
  {
    auto window = Start();
    ASSERT_TRUE(window->IsRunning());
    guid = window->Settings().AppGUID();
    window->ShowPasswords();
    test::ModalAnswerer answer(QStringLiteral("frmPasswordMaint"), [](QWidget* d) {
      test::TypeInto(d->findChild<QLineEdit*>(QStringLiteral("txtWebsite")), QStringLiteral("example.org"));
      test::TypeInto(d->findChild<QLineEdit*>(QStringLiteral("txtUserID")), QStringLiteral("alice"));
      test::TypeInto(d->findChild<QLineEdit*>(QStringLiteral("txtPWD")), QStringLiteral("secret"));
      d->findChild<QPushButton*>(QStringLiteral("btnOk"))->click();
    });
    test::Find<QPushButton>(window.get(), "btnAddItem")->click();
    EXPECT_EQ(test::Find<QLabel>(window.get(), "lblStoredPWD")->text(), QStringLiteral("1"));
    window->Settings().SetFilesEncrypted(2);
    window->close();
  }
  StoreEngine reader;
  const Bytes plain =
      reader.ReadBufferFromFile(QFile::encodeName(QDir(dir_.path()).filePath(QStringLiteral("settings.dat"))).toStdString());
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(plain.data()), static_cast<qsizetype>(plain.size())),
            guid.toLatin1() + "|0|0|2||0|0||1|0|");

  auto window = Start();
  ASSERT_TRUE(window->IsRunning());
  EXPECT_EQ(window->Settings().AppGUID(), guid);
  window->ShowPasswords();
  auto* grid = test::Find<QTableWidget>(window.get(), "grdFiles");
  ASSERT_EQ(grid->rowCount(), 1);
  EXPECT_EQ(grid->item(0, 1)->text(), QStringLiteral("alice"));
  EXPECT_EQ(test::Find<QLabel>(window.get(), "lblFilesEnc")->text(), QStringLiteral("2"));
  EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(ProgramTest, EachResidentViewIsRenderedToAPicture) {
  test::WriteAll(QDir(dir_.path()).filePath(QStringLiteral("settings.dat")), {});
  auto window = Start();
  ASSERT_TRUE(window->IsRunning());
  window->resize(1100, 720);
  auto* recent = window->RecentFiles();
  recent->AddToRecentFiles(QStringLiteral("report.pdf.vkf"), dir_.path() + QStringLiteral("/"),
                           QStringLiteral("Encrypted File"));
  recent->AddToRecentFiles(QStringLiteral("letters.zip.vkf"), QStringLiteral("/home/user/Documents/"),
                           QStringLiteral("Encrypted File"));
  window->ShowPasswords();
  auto* vault = window->findChild<frmPasswords*>();
  ASSERT_NE(vault, nullptr);
  vault->AddToPWD({QStringLiteral("mail.example.org"), QStringLiteral("alice"), QStringLiteral("s3cret"),
                   QStringLiteral("work account")});
  vault->AddToPWD({QStringLiteral("Bank program"), QStringLiteral("alice.b"), QStringLiteral("another one"), {}});
  struct Shot {
    void (frmMain::*show)();
    const char* file;
  } shots[] = {{&frmMain::ShowNow, "main-velkor-now.png"},
               {&frmMain::ShowRecentFiles, "main-recent-files.png"},
               {&frmMain::ShowPasswords, "main-passwords.png"},
               {&frmMain::ShowOptions, "main-options.png"}};
  for (const Shot& shot : shots) {
    (window.get()->*shot.show)();
    test::ProcessEvents();
    const QImage image = window->grab().toImage();
    EXPECT_GT(image.width(), 800);
    const QString path = QDir(QStringLiteral(VK_TEST_SCREENSHOT_DIR)).filePath(QString::fromLatin1(shot.file));
    EXPECT_TRUE(image.save(path)) << path.toStdString();
  }
}

}  // namespace
}  // namespace vk
