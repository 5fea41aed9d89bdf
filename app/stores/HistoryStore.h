#pragma once

// The recent files history without its view: the rows, newest first, and
// recent_files.rss that keeps them, every item field encrypted.

#include <memory>
#include <vector>

#include <QString>

namespace rssvane {
class RSS;
}

namespace vk {

class StoreCipher;

struct HistoryEntry {
  QString fileName;
  QString type;
  QString path;  // the folder, ending in "/"
  bool missing = false;  // the file was not there when the history was loaded
};

// What a load found wrong, once, for the user; empty when nothing was.
struct StoreLoadProblem {
  QString message;
};

class HistoryStore {
 public:
  static inline const QString kFileName = QStringLiteral("recent_files.rss");

  HistoryStore(QString appFolder, StoreCipher* cipher);
  ~HistoryStore();

  QString FilePath() const;
  const std::vector<HistoryEntry>& Entries() const { return entries_; }

  // Appends the stored entries to the rows. A file that cannot be read or
  // decrypted is moved aside; the problem says where.
  StoreLoadProblem LoadRecentFiles();
  // Records one entry as row 1 (removing an older row for the same file) and
  // rewrites the file; errors only cost the file write.
  void AddToRecentFiles(const QString& sFileName, const QString& sPath, const QString& sType);
  // No rows, no file.
  void Clear();

 private:
  void SetChannel();
  void Rebuild();

  QString appFolder_;
  StoreCipher* cipher_;
  std::unique_ptr<rssvane::RSS> rss_;
  std::vector<HistoryEntry> entries_;
  bool writable_ = true;  // false while an unreadable file could not be moved aside
};

}  // namespace vk
