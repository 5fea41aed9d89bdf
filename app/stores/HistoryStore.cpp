#include "stores/HistoryStore.h"

#include <stdexcept>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "rssvane/RSS.h"
#include "shell/TaskDispatch.h"
#include "stores/StoreDocument.h"

namespace vk {

HistoryStore::HistoryStore(QString appFolder, StoreCipher* cipher)
    : appFolder_(std::move(appFolder)), cipher_(cipher), rss_(std::make_unique<rssvane::RSS>()) {}

HistoryStore::~HistoryStore() = default;

QString HistoryStore::FilePath() const { return QDir(appFolder_).filePath(kFileName); }

StoreLoadProblem HistoryStore::LoadRecentFiles() {
  if (!StoreFileExists(appFolder_, kFileName)) return {};
  std::vector<HistoryEntry> loaded;
  try {
    if (!cipher_) throw std::runtime_error("no engine");
    PrepareFeed(*rss_);
    rss_->ReadFile(FilePath().toStdU16String());
    // Every file this program writes names its channel; text that reads as
    // no channel at all is not one of them.
    if (rss_->ChannelTitle() != u"Recent Files") throw std::runtime_error("not a Recent Files file");
    const int count = rss_->ItemCount();
    loaded.reserve(static_cast<size_t>(count));
    for (int16_t i = 1; i <= count; ++i) {
      HistoryEntry entry;
      entry.fileName = DecryptField(*cipher_, rss_->ItemTitle(i));
      entry.type = DecryptField(*cipher_, rss_->ItemLink(i));
      entry.path = DecryptField(*cipher_, rss_->ItemDescription(i));
      entry.missing = !QFileInfo::exists(entry.path + entry.fileName);
      loaded.push_back(std::move(entry));
    }
  } catch (const std::exception&) {
    if (!cipher_) {
      writable_ = false;
      return {QStringLiteral("The file history cannot be used because the encryption engine could not be "
                             "set up.")};
    }
    StoreLoadProblem problem{KeepUnreadableStore(FilePath(), QStringLiteral("file history"))};
    writable_ = !StoreFileExists(appFolder_, kFileName);
    return problem;
  }
  entries_.insert(entries_.end(), loaded.begin(), loaded.end());
  return {};
}

void HistoryStore::SetChannel() {
  rss_->SetChannelTitle(u"Recent Files");
  rss_->SetChannelDescription(u"Recent Files Created and Opened by Velkor Crypto");
  rss_->SetChannelLink(QString::fromLatin1(kHomePageAddress).toStdU16String());
}

void HistoryStore::AddToRecentFiles(const QString& sFileName, const QString& sPath, const QString& sType) {
  HistoryEntry entry{sFileName, sType, sPath, false};
  if (!StoreFileExists(appFolder_, kFileName)) {
    entries_.push_back(entry);
    if (!writable_ || !cipher_) return;
    try {
      PrepareFeed(*rss_);
      SetChannel();
      rss_->AddItem(EncryptField(*cipher_, sFileName), EncryptField(*cipher_, sPath), EncryptField(*cipher_, sType));
      WriteFeedReplacing(*rss_, FilePath());
    } catch (const std::exception&) {
    }
    return;
  }
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->fileName + it->path == sFileName + sPath) {
      entries_.erase(it);
      break;
    }
  }
  entries_.insert(entries_.begin(), entry);
  Rebuild();
}

void HistoryStore::Rebuild() {
  if (!writable_ || !cipher_) return;
  try {
    PrepareFeed(*rss_);
    SetChannel();
    // Each new item goes first, so adding from the last row up leaves the
    // feed in row order.
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it)
      rss_->AddItem(EncryptField(*cipher_, it->fileName), EncryptField(*cipher_, it->path),
                    EncryptField(*cipher_, it->type));
    WriteFeedReplacing(*rss_, FilePath());
  } catch (const std::exception&) {
  }
}

void HistoryStore::Clear() {
  entries_.clear();
  if (writable_) QFile::remove(FilePath());
}

}  // namespace vk
