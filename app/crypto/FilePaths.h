#pragma once

// The file view's path rules, with "/" in the role the folder separator
// plays in them.

#include <QString>

namespace vk {

// Everything before the last "." of the file name part; the whole path when
// the name has no "." but a folder does; empty when there is neither.
QString StripExtension(const QString& path);
// The destination the file view proposes for an encrypted source: the source
// without its extension, plus ".vkf"; empty when no extension can be removed.
QString DefaultDestination(const QString& source);

struct FolderAndName {
  QString folder;  // up to and including the last "/", or empty
  QString name;
};
FolderAndName SplitFolder(const QString& path);

}  // namespace vk
