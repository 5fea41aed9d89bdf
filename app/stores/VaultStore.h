#pragma once

// The password vault without its view: the entries in file order and
// passwords.rss that keeps them, every field encrypted on its own.

#include <memory>
#include <vector>

#include <QString>

#include "stores/HistoryStore.h"

namespace rssvane {
class RSS;
}

namespace vk {

class StoreCipher;

struct VaultEntry {
  QString website;
  QString userId;
  QString password;
  QString notes;
  bool operator==(const VaultEntry&) const = default;
};

class VaultStore {
 public:
  static inline const QString kFileName = QStringLiteral("passwords.rss");

  VaultStore(QString appFolder, StoreCipher* cipher);
  ~VaultStore();

  QString FilePath() const;
  const std::vector<VaultEntry>& Entries() const { return entries_; }
  // Rows as the grid counts them: entries plus the header row.
  int Rows() const { return static_cast<int>(entries_.size()) + 1; }

  // Replaces the rows with the stored entries. A file that cannot be read
  // or decrypted is moved aside; the problem says where.
  StoreLoadProblem LoadRecentFiles();
  // lRow -1 adds an entry at the end; 1 to n replaces that row. Throws when
  // the file cannot be written; the rows have changed all the same.
  void AddToPWD(const VaultEntry& entry, int lRow = -1);
  // Removes row lRow (1 to n) and rewrites the file when there is one.
  void DeleteItem(int lRow);

 private:
  void SetChannel();
  void AddStoredItem(const VaultEntry& entry);
  void Rebuild();

  QString appFolder_;
  StoreCipher* cipher_;
  std::unique_ptr<rssvane::RSS> rss_;
  std::vector<VaultEntry> entries_;
  bool writable_ = true;  // false while an unreadable file could not be moved aside
};

}  // namespace vk
