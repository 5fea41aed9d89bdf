#pragma once

// What every writer of the program's own files relies on: a new file takes
// the old one's place only when it is complete, and a file that cannot be
// read is kept for the user instead of being overwritten.

#include <QString>

namespace vk {

// A free name beside `path` that says the file was damaged, such as
// "passwords.rss.damaged-20261207-105300" (a counter is added when taken).
QString DamagedFileName(const QString& path);

// Moves (or, with keepOriginal, copies) the file to DamagedFileName(path);
// returns the new path, or empty text when that failed.
QString KeepDamagedFileAside(const QString& path, bool keepOriginal);

// A temporary name in the same folder as `path`, so a rename can replace it.
QString TemporaryNameBeside(const QString& path);

// Flushes `temporary` to the disk and renames it over `path`; on failure the
// temporary file is removed and `path` is left as it was.
bool ReplaceWithFile(const QString& temporary, const QString& path);

}  // namespace vk
