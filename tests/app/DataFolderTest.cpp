// Where the program keeps its files: beside itself as a portable copy, in
// the user's XDG data folder once installed.

#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "TestSupport.h"
#include "settings/DataFolder.h"

namespace vk {
namespace {

class DataFolderTest : public ::testing::Test {
 protected:
  QString Path(const QString& relative) const { return QDir(dir_.path()).filePath(relative); }
  static int Mode(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? static_cast<int>(info.st_mode & 07777) : -1;
  }
  // As installed under a prefix the user may write to (root, or a prefix
  // of their own): no settings.dat beside the program, the empty one
  // shipped in the prefix's data folder.
  ProgramPlace Installed() {
    QDir().mkpath(Path("usr/bin"));
    QDir().mkpath(Path("usr/share/velkorcrypto"));
    test::WriteAll(Path("usr/share/velkorcrypto/settings.dat"), {});
    QDir().mkpath(Path("home"));
    return {Path("usr/bin"), true, Path("usr/share/velkorcrypto/settings.dat"), {}, Path("home")};
  }
  QTemporaryDir dir_;
};

TEST_F(DataFolderTest, APortableCopyKeepsItsFilesBesideItselfAndTouchesNoHome) {
  ProgramPlace place = Installed();
  test::WriteAll(Path("usr/bin/settings.dat"), "filled by earlier runs");
  DataFolder data = PrepareDataFolder(place);
  EXPECT_EQ(data.path, place.programFolder);
  EXPECT_TRUE(data.problem.isEmpty());
  // Without its settings.dat and with none shipped elsewhere it is still a
  // portable copy: the start-up reports the missing file.
  QFile::remove(Path("usr/bin/settings.dat"));
  place.shippedSettings = Path("nowhere/settings.dat");
  data = PrepareDataFolder(place);
  EXPECT_EQ(data.path, place.programFolder);
  EXPECT_FALSE(QFileInfo::exists(Path("home/.local")));
}

TEST_F(DataFolderTest, AnInstalledProgramMakesAPrivateFolderAndCopiesTheShippedSettingsOnce) {
  ProgramPlace place = Installed();
  DataFolder data = PrepareDataFolder(place);
  ASSERT_TRUE(data.problem.isEmpty()) << data.problem.toStdString();
  EXPECT_EQ(data.path, Path("home/.local/share/VelkorCrypto"));
  for (const char* folder : {"home/.local", "home/.local/share", "home/.local/share/VelkorCrypto"})
    EXPECT_EQ(Mode(Path(folder)), 0700) << folder;
  const QString settings = Path("home/.local/share/VelkorCrypto/settings.dat");
  ASSERT_TRUE(QFileInfo::exists(settings));
  EXPECT_EQ(QFileInfo(settings).size(), 0);
  EXPECT_EQ(Mode(settings), 0600);
  EXPECT_TRUE(QDir(Path("usr/bin")).isEmpty());

  // What the program wrote there is never replaced by the shipped file.
  test::WriteAll(settings, "written at the last exit");
  EXPECT_EQ(PrepareDataFolder(place).path, data.path);
  EXPECT_EQ(test::ReadAll(settings), "written at the last exit");

  // A folder the user cannot write is an installation even with a
  // settings.dat of its own; an absolute $XDG_DATA_HOME is the base, a
  // relative one is ignored.
  test::WriteAll(Path("usr/bin/settings.dat"), {});
  place.programFolderWritable = false;
  place.xdgDataHome = Path("xdg");
  data = PrepareDataFolder(place);
  EXPECT_EQ(data.path, Path("xdg/VelkorCrypto"));
  EXPECT_TRUE(QFileInfo::exists(Path("xdg/VelkorCrypto/settings.dat")));
  place.xdgDataHome = QStringLiteral("relative/data");
  EXPECT_EQ(PrepareDataFolder(place).path, Path("home/.local/share/VelkorCrypto"));
}

TEST_F(DataFolderTest, AFolderThatCannotBeMadeIsReportedInsteadOfUsed) {
  ProgramPlace place = Installed();
  test::WriteAll(Path("home/.local"), "a file where a folder should be");
  DataFolder data = PrepareDataFolder(place);
  EXPECT_EQ(data.problem, QStringLiteral("Velkor Crypto cannot keep its files in \"%1\": \"%2\" is not a "
                                         "folder.\r\rVelkor Crypto will now close.")
                              .arg(Path("home/.local/share/VelkorCrypto"), Path("home/.local")));
  place.home.clear();
  EXPECT_TRUE(PrepareDataFolder(place).problem.contains(QStringLiteral("there is no home folder")));
}

}  // namespace
}  // namespace vk
