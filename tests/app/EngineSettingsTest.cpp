// settings.dat and the program password through the real engine.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "TestSupport.h"
#include "cryptoengine/CryptoEngine.h"
#include "settings/AppSettings.h"
#include "settings/StoreEngine.h"

namespace vk {
namespace {

TEST(EngineSettings, TheFileHoldsElevenFieldsUnderTheStoreKeyAndReadsBackExactly) {
  QTemporaryDir dir;
  test::ScriptedBoxes boxes;
  const QString path = QDir(dir.path()).filePath(QStringLiteral("settings.dat"));
  test::WriteAll(path, {});
  StoreEngine engine;
  AppSettings settings(dir.path());
  settings.SetStoreCipher(&engine);
  ASSERT_EQ(settings.GetSettingsFromFile(), 2);
  EXPECT_TRUE(boxes.shown.empty()) << "an empty file is a fresh installation, not a damaged one";
  settings.SetFilesEncrypted(12);
  settings.SetMessagesEncrypted(3);
  settings.SetTotalPasswords(2000);
  settings.SetMaintainHistory(true);
  settings.SetUseProgPWD(true);
  settings.SetProgramPWD(EnginePasswordCheck().makeStored(QStringLiteral("pass word")));
  ASSERT_TRUE(settings.BuildAndSaveSettingsString());

  // Another engine instance, keyed the same way, opens it.
  StoreEngine reader;
  const Bytes plain = reader.ReadBufferFromFile(QFile::encodeName(path).toStdString());
  const QString text = QString::fromUtf8(reinterpret_cast<const char*>(plain.data()), static_cast<qsizetype>(plain.size()));
  const QStringList fields = text.split(QLatin1Char('|'));
  ASSERT_EQ(fields.size(), 11);
  EXPECT_EQ(fields[0], settings.AppGUID());
  EXPECT_EQ(fields.mid(1, 6), (QStringList{"0", "0", "12", "", "-1", "3"}));
  EXPECT_TRUE(fields[7].startsWith(QStringLiteral("vk1$")));
  EXPECT_FALSE(text.contains(QStringLiteral("pass word")));
  EXPECT_TRUE(vkcrypto::CryptoEngine::CheckPasswordVerifier(fields[7].toStdString(), "pass word"));
  EXPECT_EQ(fields.mid(8), (QStringList{"2000", "-1", ""}));
  EXPECT_FALSE(test::ReadAll(path).contains("2000"));

  AppSettings again(dir.path());
  again.SetStoreCipher(&reader);
  EXPECT_EQ(again.GetSettingsFromFile(), 1);
  EXPECT_EQ(BuildSettingsString(again.Fields()), BuildSettingsString(settings.Fields()));
}

TEST(EngineSettings, TheVerifierChecksExactlyAndAnEmptyPasswordMeansNone) {
  const PasswordCheck check = EnginePasswordCheck();
  EXPECT_EQ(check.makeStored(QString()), QString());
  const QString stored = check.makeStored(QStringLiteral(" Ab"));
  EXPECT_NE(stored, check.makeStored(QStringLiteral(" Ab"))) << "salted";
  EXPECT_TRUE(check.matches(stored, QStringLiteral(" Ab")));
  EXPECT_FALSE(check.matches(stored, QStringLiteral("Ab")));
  EXPECT_FALSE(check.matches(stored, QStringLiteral(" ab")));
  EXPECT_FALSE(check.matches(QStringLiteral("UNSETVALUE"), QStringLiteral("UNSETVALUE")));
  EXPECT_FALSE(check.matches(QString(), QString()));
}

}  // namespace
}  // namespace vk
