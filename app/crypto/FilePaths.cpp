#include "crypto/FilePaths.h"

namespace vk {

QString StripExtension(const QString& path) {
  for (qsizetype i = path.size() - 1; i >= 0; --i) {
    if (path[i] == QLatin1Char('.')) return path.left(i);
    if (path[i] == QLatin1Char('/')) return path;
  }
  return {};
}

QString DefaultDestination(const QString& source) {
  QString stem = StripExtension(source);
  return stem.isEmpty() ? QString() : stem + QStringLiteral(".vkf");
}

FolderAndName SplitFolder(const QString& path) {
  qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  if (slash < 0) return {QString(), path};
  return {path.left(slash + 1), path.mid(slash + 1)};
}

}  // namespace vk
