// The vault and the history on their RSS files, through the real engine and
// control, checked by reading the files back with fresh instances of both.

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>

#include "TestSupport.h"
#include "rssvane/RSS.h"
#include "settings/AppSettings.h"
#include "settings/StoreEngine.h"
#include "shell/TaskDispatch.h"
#include "stores/StoreDocument.h"
#include "stores/frmPasswordMaint.h"
#include "stores/frmPasswords.h"
#include "stores/frmRecentFiles.h"

namespace vk {
namespace {

using test::Click;
using test::Find;

// An item's fields as stored: each must be upper-case hex that the store key opens.
QString Open(StoreEngine& engine, const std::u16string& stored) {
  const QString text = QString::fromStdU16String(stored);
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9A-F]+$")).match(text).hasMatch()) << text.toStdString();
  return DecryptField(engine, stored);
}

class StoresTest : public ::testing::Test {
 protected:
  QString PathOf(const QString& name) const { return QDir(dir_.path()).filePath(name); }
  void ReadFeed(const QString& name) {
    rss_.Reset();
    rss_.Config(u"AllowNonRSS=true");
    rss_.ReadFile(PathOf(name).toStdU16String());
  }
  std::vector<VaultEntry> VaultOnDisk() {
    ReadFeed(QStringLiteral("passwords.rss"));
    EXPECT_EQ(rss_.ChannelTitle(), u"Passwords");
    EXPECT_EQ(rss_.ChannelDescription(), u"Stored Website and Program Passwords");
    EXPECT_FALSE(rss_.ChannelLink().empty());
    std::vector<VaultEntry> entries;
    for (int16_t i = 1; i <= rss_.ItemCount(); ++i)
      entries.push_back({Open(reader_, rss_.ItemLink(i)), Open(reader_, rss_.ItemTitle(i)),
                         Open(reader_, rss_.ItemDescription(i)), Open(reader_, rss_.ItemComments(i))});
    return entries;
  }
  // Fills the editor that the next click opens.
  void AnswerEditor(const VaultEntry& entry, bool save = true) {
    answerer_ = std::make_unique<test::ModalAnswerer>(QStringLiteral("frmPasswordMaint"), [entry, save](QWidget* d) {
      test::TypeInto(d->findChild<QLineEdit*>(QStringLiteral("txtWebsite")), entry.website);
      test::TypeInto(d->findChild<QLineEdit*>(QStringLiteral("txtUserID")), entry.userId);
      test::TypeInto(d->findChild<QLineEdit*>(QStringLiteral("txtPWD")), entry.password);
      d->findChild<QPlainTextEdit*>(QStringLiteral("txtNotes"))->setPlainText(entry.notes);
      d->findChild<QPushButton*>(QString::fromLatin1(save ? "btnOk" : "btnCancel"))->click();
    });
  }

  QTemporaryDir dir_;
  AppSettings settings_{dir_.path()};
  test::ScriptedBoxes boxes_;
  StoreEngine reader_;
  rssvane::RSS rss_;
  std::unique_ptr<test::ModalAnswerer> answerer_;
};

TEST_F(StoresTest, VaultEntriesAreAddedEditedAndDeletedAndTheFileFollowsInGridOrder) {
  frmPasswords view(dir_.path(), settings_);
  view.LoadRecentFiles();
  view.show();
  auto* grid = Find<QTableWidget>(&view, "grdFiles");
  auto* edit = Find<QPushButton>(&view, "btnEditSelected");
  auto* del = Find<QPushButton>(&view, "btnDelete");
  EXPECT_EQ(grid->rowCount(), 0);
  EXPECT_FALSE(edit->isEnabled());
  EXPECT_FALSE(del->isEnabled());
  Click(del);  // nothing selected: nothing happens
  EXPECT_FALSE(QFile::exists(PathOf("passwords.rss")));

  const VaultEntry first{"example.org", "alice", "pa55 word", "first note"};
  AnswerEditor(first);
  Click(Find<QPushButton>(&view, "btnAddItem"));
  EXPECT_EQ(VaultOnDisk(), std::vector<VaultEntry>{first});
  const QByteArray raw = test::ReadAll(PathOf("passwords.rss"));
  for (const char* clear : {"example.org", "alice", "pa55 word", "first note"}) EXPECT_FALSE(raw.contains(clear));
  EXPECT_EQ(settings_.TotalPasswords(), 1);

  const VaultEntry second{"Mail program", "bob", "x", ""};
  const VaultEntry third{"bank.example", "carol", "y", QString(255, QLatin1Char('n'))};
  AnswerEditor(second);
  Click(Find<QPushButton>(&view, "btnAddItem"));
  AnswerEditor({"cancelled", "c", "c", ""}, false);
  Click(Find<QPushButton>(&view, "btnAddItem"));
  AnswerEditor(third);
  Click(Find<QPushButton>(&view, "btnAddItem"));
  EXPECT_EQ(VaultOnDisk(), (std::vector<VaultEntry>{first, second, third}));
  EXPECT_EQ(grid->rowCount(), 3);
  EXPECT_EQ(grid->item(1, 0)->text(), QStringLiteral("Mail program"));
  EXPECT_EQ(grid->item(2, 3)->text(), third.notes);

  const VaultEntry changed{"Mail program", "bob", "new secret", "changed"};
  grid->setCurrentCell(1, 0);
  EXPECT_TRUE(edit->isEnabled());
  AnswerEditor(changed);
  Click(edit);
  EXPECT_EQ(VaultOnDisk(), (std::vector<VaultEntry>{first, changed, third}));
  EXPECT_EQ(settings_.TotalPasswords(), 3);

  // A fresh program reads the same rows back.
  {
    AppSettings other(dir_.path());
    frmPasswords fresh(dir_.path(), other);
    fresh.LoadRecentFiles();
    EXPECT_EQ(fresh.Store().Entries(), (std::vector<VaultEntry>{first, changed, third}));
    EXPECT_EQ(other.TotalPasswords(), 3);
  }

  grid->setCurrentCell(0, 0);
  Click(del);
  grid->setCurrentCell(1, 0);
  Click(del);
  EXPECT_EQ(VaultOnDisk(), std::vector<VaultEntry>{changed});
  grid->setCurrentCell(0, 0);
  Click(del);
  EXPECT_TRUE(VaultOnDisk().empty());
  EXPECT_EQ(rss_.ItemCount(), 0);
  EXPECT_EQ(settings_.TotalPasswords(), 0);
  EXPECT_FALSE(del->isEnabled());
  EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(StoresTest, TheEditorLimitsItsFieldsAndNeedsAllButTheNotes) {
  frmPasswordMaint dialog;
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Password Maintenance"));
  auto* save = Find<QPushButton>(&dialog, "btnOk");
  auto* notes = Find<QPlainTextEdit>(&dialog, "txtNotes");
  for (const char* name : {"txtWebsite", "txtUserID", "txtPWD"}) {
    auto* box = Find<QLineEdit>(&dialog, name);
    test::TypeInto(box, QString(101, QLatin1Char('w')));
    EXPECT_EQ(box->text().size(), 100) << name;
  }
  EXPECT_TRUE(save->isEnabled());
  test::TypeInto(Find<QLineEdit>(&dialog, "txtPWD"), QStringLiteral("   "));
  EXPECT_FALSE(save->isEnabled());
  notes->setPlainText(QString(256, QLatin1Char('n')));
  EXPECT_EQ(notes->toPlainText().size(), 255);
  dialog.close();
  EXPECT_TRUE(dialog.HitCancel());
}

TEST_F(StoresTest, AnUnreadableVaultIsMovedAsideOnceAndNeverOverwritten) {
  test::WriteAll(PathOf("passwords.rss"), "<rss><channel><item><title>ZZ</title></item></channel></rss>");
  frmPasswords view(dir_.path(), settings_);
  view.LoadRecentFiles();
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].title, QStringLiteral("Passwords"));
  const QStringList kept = QDir(dir_.path()).entryList(QStringList{QStringLiteral("passwords.rss.damaged-*")});
  ASSERT_EQ(kept.size(), 1);
  EXPECT_TRUE(boxes_.shown[0].text.contains(kept[0]));
  EXPECT_FALSE(QFile::exists(PathOf("passwords.rss")));
  EXPECT_TRUE(view.Store().Entries().empty());

  view.AddToPWD({"site", "me", "pw", ""});
  EXPECT_EQ(VaultOnDisk().size(), 1u);
  EXPECT_EQ(test::ReadAll(PathOf(kept[0])), "<rss><channel><item><title>ZZ</title></item></channel></rss>");
  EXPECT_EQ(boxes_.shown.size(), 1u);
}

class RecordingDispatch : public TaskDispatch {
 public:
  void DoNewCryptoFile(bool decrypting, const QString& name) override { opened << (decrypting ? "decrypt:" : "") + name; }
  void DoNewCryptoMsg(bool) override {}
  void DoNewCreateKeyPair(QPlainTextEdit*) override {}
  void DoNewBugReport() override {}
  void ShowRecentFiles() override {}
  void ShowPasswords() override {}
  void ShowOptions() override {}
  void ShowNow() override {}
  void OpenHomePage() override {}
  QStringList opened;
};

TEST_F(StoresTest, TheHistoryKeepsNewestFirstOneRowAFileAndMarksMissingFiles) {
  QDir(dir_.path()).mkdir(QStringLiteral("a"));
  QDir(dir_.path()).mkdir(QStringLiteral("b"));
  const QString a = PathOf("a") + QLatin1Char('/');
  const QString b = PathOf("b") + QLatin1Char('/');
  test::WriteAll(a + "one.vkf", "1");
  test::WriteAll(b + "one.vkf", "1");
  test::WriteAll(a + "two.vkf", "2");
  RecordingDispatch dispatch;
  const QString type = QStringLiteral("Encrypted File");
  {
    frmRecentFiles view(dir_.path(), dispatch);
    view.LoadRecentFiles();
    view.AddToRecentFiles("one.vkf", a, type);
    ReadFeed(QStringLiteral("recent_files.rss"));
    EXPECT_EQ(rss_.ItemCount(), 1);
    view.AddToRecentFiles("two.vkf", a, type);
    view.AddToRecentFiles("one.vkf", b, type);
    view.AddToRecentFiles("one.vkf", a, type);  // again: moves to the top
    auto* grid = Find<QTableWidget>(&view, "grdFiles");
    ASSERT_EQ(grid->rowCount(), 3);
    EXPECT_EQ(grid->item(0, 0)->text() + grid->item(0, 2)->text(), "one.vkf" + a);
    EXPECT_EQ(grid->item(1, 2)->text(), b);
    EXPECT_EQ(grid->item(2, 0)->text(), QStringLiteral("two.vkf"));
    EXPECT_EQ(grid->item(0, 1)->text(), type);
    EXPECT_FALSE(grid->item(2, 0)->font().italic());
  }
  ReadFeed(QStringLiteral("recent_files.rss"));
  EXPECT_EQ(rss_.ChannelTitle(), u"Recent Files");
  EXPECT_EQ(rss_.ChannelDescription(), u"Recent Files Created and Opened by Velkor Crypto");
  ASSERT_EQ(rss_.ItemCount(), 3);
  const QString expected[3][3] = {{"one.vkf", a, type}, {"one.vkf", b, type}, {"two.vkf", a, type}};
  for (int16_t i = 1; i <= 3; ++i) {
    EXPECT_EQ(Open(reader_, rss_.ItemTitle(i)), expected[i - 1][0]);
    EXPECT_EQ(Open(reader_, rss_.ItemDescription(i)), expected[i - 1][1]);
    EXPECT_EQ(Open(reader_, rss_.ItemLink(i)), expected[i - 1][2]);
  }
  EXPECT_FALSE(test::ReadAll(PathOf("recent_files.rss")).contains("one.vkf"));

  // Next start: a file deleted since is in italics and does not open.
  QFile::remove(b + "one.vkf");
  frmRecentFiles view(dir_.path(), dispatch);
  view.LoadRecentFiles();
  view.show();
  auto* grid = Find<QTableWidget>(&view, "grdFiles");
  ASSERT_EQ(grid->rowCount(), 3);
  EXPECT_FALSE(grid->item(0, 0)->font().italic());
  EXPECT_TRUE(grid->item(1, 0)->font().italic());
  EXPECT_TRUE(grid->item(1, 2)->font().italic());
  emit grid->cellDoubleClicked(1, 0);
  emit grid->cellDoubleClicked(0, 1);
  emit grid->cellDoubleClicked(-1, 0);
  EXPECT_EQ(dispatch.opened, QStringList{"decrypt:" + a + "one.vkf"});

  view.ClearHistory();
  EXPECT_EQ(grid->rowCount(), 0);
  EXPECT_FALSE(QFile::exists(PathOf("recent_files.rss")));
  view.AddToRecentFiles("two.vkf", a, type);
  ReadFeed(QStringLiteral("recent_files.rss"));
  EXPECT_EQ(rss_.ItemCount(), 1);
  EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(StoresTest, AnUnreadableHistoryIsMovedAsideAndANewOneStarts) {
  test::WriteAll(PathOf("recent_files.rss"), "garbage");
  RecordingDispatch dispatch;
  frmRecentFiles view(dir_.path(), dispatch);
  view.LoadRecentFiles();
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].title, QStringLiteral("Recent Files"));
  const QStringList kept = QDir(dir_.path()).entryList(QStringList{QStringLiteral("recent_files.rss.damaged-*")});
  ASSERT_EQ(kept.size(), 1);
  EXPECT_EQ(test::ReadAll(PathOf(kept[0])), "garbage");
  view.AddToRecentFiles("x.vkf", PathOf("") , QStringLiteral("Encrypted File"));
  ReadFeed(QStringLiteral("recent_files.rss"));
  EXPECT_EQ(rss_.ItemCount(), 1);
}

}  // namespace
}  // namespace vk
