// settings.dat through the store cipher: the missing, empty, full and damaged
// file, and the file written back.

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "TestSupport.h"
#include "settings/AppSettings.h"

namespace vk {
namespace {

using test::ReadAll;
using test::WriteAll;

class SettingsFileTest : public ::testing::Test {
 protected:
  QString Path() const { return QDir(dir_.path()).filePath(QStringLiteral("settings.dat")); }
  void WriteSealed(const QByteArray& text) {
    const Bytes sealed = cipher_.Encrypt(Bytes(text.begin(), text.end()));
    WriteAll(Path(), QByteArray(reinterpret_cast<const char*>(sealed.data()), static_cast<qsizetype>(sealed.size())));
  }
  QByteArray ReadOpened() {
    const QByteArray sealed = ReadAll(Path());
    const Bytes plain = cipher_.Decrypt(Bytes(sealed.begin(), sealed.end()));
    return QByteArray(reinterpret_cast<const char*>(plain.data()), static_cast<qsizetype>(plain.size()));
  }

  QTemporaryDir dir_;
  test::ReversingCipher cipher_;
  test::ScriptedBoxes boxes_;
};

TEST_F(SettingsFileTest, AMissingFileIsACriticalErrorAndNothingIsWritten) {
  AppSettings settings(dir_.path());
  settings.SetStoreCipher(&cipher_);
  EXPECT_EQ(settings.GetSettingsFromFile(), 0);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].icon, MessageBoxes::Icon::kCritical);
  EXPECT_EQ(boxes_.shown[0].buttons, MessageBoxes::Buttons::kOk);
  EXPECT_EQ(boxes_.shown[0].title, QStringLiteral("Critical Error"));
  EXPECT_EQ(boxes_.shown[0].text,
            QStringLiteral("WARNING!\r\rA required file is missing.  Velkor Crypto cannot run without this file.  "
                           "Please contact support at support@velkor.example and provide them with error code "
                           "VERR-0500017.\r\rVelkor Crypto will now close."));
  EXPECT_FALSE(QFile::exists(Path()));

  // A name that differs only in case is not the file.
  WriteAll(QDir(dir_.path()).filePath(QStringLiteral("Settings.dat")), {});
  EXPECT_EQ(settings.GetSettingsFromFile(), 0);
}

TEST_F(SettingsFileTest, AnEmptyFileStartsFreshWithANewIdentifierAndIsWrittenCompleteAtTheEnd) {
  WriteAll(Path(), {});
  AppSettings settings(dir_.path());
  settings.SetStoreCipher(&cipher_);
  EXPECT_EQ(settings.GetSettingsFromFile(), 2);
  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}$"))
                  .match(settings.AppGUID())
                  .hasMatch());
  EXPECT_FALSE(settings.UseProgPWD());
  EXPECT_FALSE(settings.MaintainHistory());
  EXPECT_EQ(settings.FilesEncrypted(), 0);
  EXPECT_FALSE(settings.IsProgramPasswordSet());

  ASSERT_TRUE(settings.BuildAndSaveSettingsString());
  EXPECT_EQ(ReadOpened(), settings.AppGUID().toLatin1() + "|0|0|0||0|0||0|0|");
  // Only the file itself remains: the temporary copy was renamed over it.
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{QStringLiteral("settings.dat")});
}

TEST_F(SettingsFileTest, AFullFileLoadsEveryFieldAndCountersFollowTheirObserver) {
  WriteSealed("{3F2504E0-4F89-41D3-9A0C-0305E82C3301}|0|-1|3||-1|5|UNSETVALUE|2|0|");
  AppSettings settings(dir_.path());
  settings.SetStoreCipher(&cipher_);
  EXPECT_EQ(settings.GetSettingsFromFile(), 1);
  EXPECT_EQ(settings.AppGUID(), QStringLiteral("{3F2504E0-4F89-41D3-9A0C-0305E82C3301}"));
  EXPECT_TRUE(settings.EnableNewsFeed());
  EXPECT_EQ(settings.FilesEncrypted(), 3);
  EXPECT_EQ(settings.MessagesEncrypted(), 5);
  EXPECT_EQ(settings.TotalPasswords(), 2);
  EXPECT_FALSE(settings.IsProgramPasswordSet());

  int calls = 0;
  settings.SetCountersChanged([&] { ++calls; });
  settings.SetFilesEncrypted(4);
  settings.SetMessagesEncrypted(6);
  settings.SetTotalPasswords(0);
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(CounterText(settings.TotalPasswords()), QStringLiteral("None"));
  EXPECT_EQ(CounterText(settings.FilesEncrypted()), QStringLiteral("4"));
  ASSERT_TRUE(settings.BuildAndSaveSettingsString());
  EXPECT_EQ(ReadOpened(), "{3F2504E0-4F89-41D3-9A0C-0305E82C3301}|0|-1|4||-1|6|UNSETVALUE|0|0|");
}

TEST_F(SettingsFileTest, ADamagedFileIsKeptAsideAndTheUserToldOnce) {
  WriteAll(Path(), "not a sealed settings file");
  AppSettings settings(dir_.path());
  settings.SetStoreCipher(&cipher_);
  EXPECT_EQ(settings.GetSettingsFromFile(), 2);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].icon, MessageBoxes::Icon::kWarning);
  const QStringList kept =
      QDir(dir_.path()).entryList(QStringList{QStringLiteral("settings.dat.damaged-*")}, QDir::Files);
  ASSERT_EQ(kept.size(), 1);
  EXPECT_EQ(ReadAll(QDir(dir_.path()).filePath(kept[0])), "not a sealed settings file");
  EXPECT_TRUE(boxes_.shown[0].text.contains(kept[0]));
  // The original stays where it was until the exit writes a whole new one.
  EXPECT_EQ(ReadAll(Path()), "not a sealed settings file");
  ASSERT_TRUE(settings.BuildAndSaveSettingsString());
  EXPECT_TRUE(ReadOpened().startsWith(settings.AppGUID().toLatin1() + "|"));
}

}  // namespace
}  // namespace vk
