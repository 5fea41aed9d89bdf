#include "stores/VaultStore.h"

#include <stdexcept>

#include <QDir>

#include "rssvane/RSS.h"
#include "shell/TaskDispatch.h"
#include "stores/StoreDocument.h"

namespace vk {

VaultStore::VaultStore(QString appFolder, StoreCipher* cipher)
    : appFolder_(std::move(appFolder)), cipher_(cipher), rss_(std::make_unique<rssvane::RSS>()) {}

VaultStore::~VaultStore() = default;

QString VaultStore::FilePath() const { return QDir(appFolder_).filePath(kFileName); }

StoreLoadProblem VaultStore::LoadRecentFiles() {
  entries_.clear();
  if (!StoreFileExists(appFolder_, kFileName)) return {};
  std::vector<VaultEntry> loaded;
  try {
    if (!cipher_) throw std::runtime_error("no engine");
    PrepareFeed(*rss_);
    rss_->ReadFile(FilePath().toStdU16String());
    // Every file this program writes names its channel; text that reads as
    // no channel at all is not one of them.
    if (rss_->ChannelTitle() != u"Passwords") throw std::runtime_error("not a Passwords file");
    const int count = rss_->ItemCount();
    loaded.reserve(static_cast<size_t>(count));
    for (int16_t i = 1; i <= count; ++i) {
      VaultEntry entry;
      entry.userId = DecryptField(*cipher_, rss_->ItemTitle(i));
      entry.website = DecryptField(*cipher_, rss_->ItemLink(i));
      entry.password = DecryptField(*cipher_, rss_->ItemDescription(i));
      entry.notes = DecryptField(*cipher_, rss_->ItemComments(i));
      loaded.push_back(std::move(entry));
    }
  } catch (const std::exception&) {
    if (!cipher_) {
      writable_ = false;
      return {QStringLiteral("The password vault cannot be used because the encryption engine could not be "
                             "set up.")};
    }
    StoreLoadProblem problem{KeepUnreadableStore(FilePath(), QStringLiteral("password vault"))};
    writable_ = !StoreFileExists(appFolder_, kFileName);
    return problem;
  }
  entries_ = std::move(loaded);
  return {};
}

void VaultStore::SetChannel() {
  rss_->SetChannelTitle(u"Passwords");
  rss_->SetChannelDescription(u"Stored Website and Program Passwords");
  rss_->SetChannelLink(QString::fromLatin1(kHomePageAddress).toStdU16String());
}

void VaultStore::AddStoredItem(const VaultEntry& entry) {
  rss_->AddItem(EncryptField(*cipher_, entry.userId), EncryptField(*cipher_, entry.password),
                EncryptField(*cipher_, entry.website));
  rss_->SetItemComments(1, EncryptField(*cipher_, entry.notes));
}

void VaultStore::AddToPWD(const VaultEntry& entry, int lRow) {
  if (!StoreFileExists(appFolder_, kFileName)) {
    entries_.push_back(entry);
    if (!writable_ || !cipher_) throw std::runtime_error("the password vault cannot be written");
    PrepareFeed(*rss_);
    SetChannel();
    AddStoredItem(entry);
    WriteFeedReplacing(*rss_, FilePath());
    return;
  }
  if (lRow == -1) {
    entries_.push_back(entry);
  } else if (lRow >= 1 && lRow <= static_cast<int>(entries_.size())) {
    entries_[static_cast<size_t>(lRow - 1)] = entry;
  } else {
    throw std::out_of_range("no such row");
  }
  Rebuild();
}

void VaultStore::DeleteItem(int lRow) {
  if (lRow < 1 || lRow > static_cast<int>(entries_.size())) return;
  entries_.erase(entries_.begin() + (lRow - 1));
  if (StoreFileExists(appFolder_, kFileName)) Rebuild();
}

void VaultStore::Rebuild() {
  if (!writable_ || !cipher_) throw std::runtime_error("the password vault cannot be written");
  PrepareFeed(*rss_);
  SetChannel();
  // Each new item goes first, so adding from the last row up leaves the feed
  // in row order.
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) AddStoredItem(*it);
  WriteFeedReplacing(*rss_, FilePath());
}

}  // namespace vk
