// SIGTERM, SIGINT and SIGHUP close the program as its close box does; a
// second signal ends it at once, after its last words; without a display the
// program says what to do; a running program dumps no core.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include "TestSupport.h"
#include "settings/StoreEngine.h"
#include "shell/SignalCloser.h"
#include "shell/frmMain.h"
#include "stores/StoreViewFactories.h"

namespace vk {
namespace {

TEST(Signals, TheFirstSignalClosesTheWindowAndWritesTheSettingsBack) {
  QTemporaryDir dir;
  test::ScriptedBoxes boxes;
  const QString path = QDir(dir.path()).filePath(QStringLiteral("settings.dat"));
  test::WriteAll(path, {});
  frmMain window(dir.path(), MakeStoreViewFactories(), EnginePasswordCheck());
  SignalCloser closer([&window] { window.close(); });
  window.show();
  test::ProcessEvents();
  ASSERT_TRUE(window.IsRunning());
  EXPECT_EQ(QFileInfo(path).size(), 0);
  ASSERT_EQ(raise(SIGTERM), 0);
  for (int i = 0; i < 50 && window.isVisible(); ++i) {
    test::ProcessEvents();
    QThread::msleep(10);
  }
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(SignalCloser::Received(), 1);
  StoreEngine reader;
  const Bytes plain = reader.ReadBufferFromFile(QFile::encodeName(path).toStdString());
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(plain.data()), static_cast<qsizetype>(plain.size())).count('|'), 10);
}

TEST(SignalsDeathTest, ASecondSignalEndsTheProgramAtOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        SignalCloser closer([] {});
        raise(SIGINT);
        raise(SIGINT);
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(128 + SIGINT), "");
}

// The last words stand for the removal of unfinished files: a file made in
// the handler shows that they ran.
const char* g_marker = nullptr;
void LeaveMarker() {
  const int fd = ::open(g_marker, O_WRONLY | O_CREAT, 0600);
  if (fd >= 0) ::close(fd);
}

TEST(SignalsDeathTest, AHangUpClosesTooAndASecondSignalSaysItsLastWords) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The child runs this body again from the start: the parent's folder
  // reaches it through the environment.
  QTemporaryDir dir;
  if (std::getenv("VK_TEST_LAST_WORDS") == nullptr) {
    ::setenv("VK_TEST_LAST_WORDS", QFile::encodeName(dir.filePath(QStringLiteral("last-words"))).constData(), 1);
  }
  const QByteArray marker = std::getenv("VK_TEST_LAST_WORDS");
  g_marker = marker.constData();
  EXPECT_EXIT(
      {
        SignalCloser closer([] {}, LeaveMarker);
        raise(SIGHUP);
        if (SignalCloser::Received() != 1) std::_Exit(1);
        raise(SIGHUP);
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(128 + SIGHUP), "");
  ::unsetenv("VK_TEST_LAST_WORDS");
  EXPECT_TRUE(QFileInfo::exists(QString::fromLocal8Bit(marker)));
}

TEST(Program, WithoutADisplayItSaysHowToRunUnderXvfbAndTheBuildShipsSettings) {
  const QString program = QStringLiteral(VK_TEST_PROGRAM);
  EXPECT_TRUE(QFileInfo::exists(QFileInfo(program).dir().filePath(QStringLiteral("settings.dat"))));
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.remove(QStringLiteral("DISPLAY"));
  environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
  environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
  process.setProcessEnvironment(environment);
  process.start(program, {});
  ASSERT_TRUE(process.waitForFinished(20000));
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 2);
  const QString advice = QString::fromUtf8(process.readAllStandardError());
  EXPECT_TRUE(advice.contains(QStringLiteral("no display was found"))) << advice.toStdString();
  EXPECT_TRUE(advice.contains(QStringLiteral("xvfb-run -a "))) << advice.toStdString();
}

TEST(Program, SigtermEndsARunningProgramCleanlyWithItsSettingsWritten) {
  // A copy of the program in a folder of its own, as an installation is.
  QTemporaryDir dir;
  const QString program = QDir(dir.path()).filePath(QStringLiteral("VelkorCrypto"));
  ASSERT_TRUE(QFile::copy(QStringLiteral(VK_TEST_PROGRAM), program));
  const QString settings = QDir(dir.path()).filePath(QStringLiteral("settings.dat"));
  test::WriteAll(settings, {});
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  process.setProcessEnvironment(environment);
  process.start(program, {});
  ASSERT_TRUE(process.waitForStarted(20000));
  // Start-up has no outward sign; give it ample time even on a busy machine.
  process.waitForFinished(4000);
  ASSERT_EQ(process.state(), QProcess::Running);
  QFile limits(QStringLiteral("/proc/%1/limits").arg(process.processId()));
  ASSERT_TRUE(limits.open(QIODevice::ReadOnly));
  EXPECT_TRUE(QRegularExpression(QStringLiteral("Max core file size +0 +0 ")).match(limits.readAll()).hasMatch());
  ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
  ASSERT_TRUE(process.waitForFinished(30000));
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 0);
  StoreEngine reader;
  const Bytes plain = reader.ReadBufferFromFile(QFile::encodeName(settings).toStdString());
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(plain.data()), static_cast<qsizetype>(plain.size())).count('|'), 10);
}

}  // namespace
}  // namespace vk
