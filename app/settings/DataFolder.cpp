#include "settings/DataFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vk {

namespace {

const QString kSettingsFile = QStringLiteral("settings.dat");

// Creates the folder and each missing parent with mode 0700, as the XDG base
// directory rules ask; folders that exist keep their modes. Empty text on
// success, else the reason.
QString MakePrivateFolder(const QString& path) {
  QFileInfo info(path);
  if (info.isDir()) return {};
  if (info.exists()) return QStringLiteral("\"%1\" is not a folder").arg(path);
  const QString parent = info.dir().path();
  if (parent != path) {
    QString problem = MakePrivateFolder(parent);
    if (!problem.isEmpty()) return problem;
  }
  if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0 && errno != EEXIST)
    return QStringLiteral("\"%1\" cannot be made (%2)").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
  return {};
}

}  // namespace

ProgramPlace CurrentProgramPlace() {
  ProgramPlace place;
  place.programFolder = QCoreApplication::applicationDirPath();
  place.programFolderWritable = ::access(QFile::encodeName(place.programFolder).constData(), W_OK) == 0;
  // Where the installation puts it, relative to the program's folder.
  place.shippedSettings = QDir::cleanPath(QDir(place.programFolder).filePath(QStringLiteral(VK_SHIPPED_SETTINGS)));
  place.xdgDataHome = qEnvironmentVariable("XDG_DATA_HOME");
  place.home = QDir::homePath();
  return place;
}

DataFolder PrepareDataFolder(const ProgramPlace& place) {
  const bool hasOwnSettings = QFileInfo::exists(QDir(place.programFolder).filePath(kSettingsFile));
  const bool shipsSettingsElsewhere = QFileInfo::exists(place.shippedSettings);
  if (place.programFolderWritable && (hasOwnSettings || !shipsSettingsElsewhere)) return {place.programFolder, {}};

  const auto refuse = [](const QString& folder, const QString& reason) {
    return DataFolder{folder, QStringLiteral("Velkor Crypto cannot keep its files in \"%1\": %2.\r\rVelkor Crypto "
                                             "will now close.")
                                  .arg(folder, reason)};
  };
  // The base directory rules ignore a relative $XDG_DATA_HOME.
  QString base = place.xdgDataHome;
  if (!QDir::isAbsolutePath(base)) {
    if (place.home.isEmpty())
      return refuse(QStringLiteral("~/.local/share/VelkorCrypto"), QStringLiteral("there is no home folder"));
    base = QDir(place.home).filePath(QStringLiteral(".local/share"));
  }
  const QString folder = QDir::cleanPath(QDir(base).filePath(QStringLiteral("VelkorCrypto")));
  if (const QString problem = MakePrivateFolder(folder); !problem.isEmpty()) return refuse(folder, problem);

  const QString settings = QDir(folder).filePath(kSettingsFile);
  const QString source =
      shipsSettingsElsewhere ? place.shippedSettings : QDir(place.programFolder).filePath(kSettingsFile);
  // Without a shipped file there is nothing to copy; the start-up then
  // reports the missing file as for any copy of the program.
  if (QFileInfo::exists(settings) || !QFileInfo::exists(source)) return {folder, {}};
  QFile shipped(source);
  if (!shipped.copy(settings))
    return refuse(folder, QStringLiteral("settings.dat cannot be copied there (%1)").arg(shipped.errorString()));
  if (!QFile::setPermissions(settings, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
    return refuse(folder, QStringLiteral("settings.dat cannot be made private to you"));
  return {folder, {}};
}

}  // namespace vk
