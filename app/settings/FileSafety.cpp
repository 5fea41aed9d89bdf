#include "settings/FileSafety.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

namespace vk {

namespace {

bool SyncFile(const QString& path) {
  const QByteArray native = QFile::encodeName(path);
  int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

QString DamagedFileName(const QString& path) {
  const QString base = path + QStringLiteral(".damaged-") +
                       QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
  QString candidate = base;
  for (int n = 2; QFileInfo::exists(candidate); ++n) candidate = base + QLatin1Char('-') + QString::number(n);
  return candidate;
}

QString KeepDamagedFileAside(const QString& path, bool keepOriginal) {
  const QString target = DamagedFileName(path);
  const bool ok = keepOriginal ? QFile::copy(path, target) : QFile::rename(path, target);
  return ok ? target : QString();
}

QString TemporaryNameBeside(const QString& path) {
  return path + QStringLiteral(".tmp-") + QUuid::createUuid().toString(QUuid::Id128);
}

bool ReplaceWithFile(const QString& temporary, const QString& path) {
  if (!SyncFile(temporary) ||
      std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) != 0) {
    QFile::remove(temporary);
    return false;
  }
  return true;
}

}  // namespace vk
