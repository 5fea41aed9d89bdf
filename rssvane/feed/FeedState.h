#pragma once

#include <cstddef>
#include <string_view>

#include "base/Arena.h"
#include "base/GrowString.h"
#include "base/OwnedList.h"
#include "base/StringList.h"
#include "feed/FeedContainer.h"
#include <rssvane/RSSTypes.h>

namespace rssvane {

inline constexpr std::string_view kGeneratorText = "Kestrix Version 6.0 RSS Component";
// Where a new feed points readers for the format it is written in.
inline constexpr std::string_view kInitialChannelDocs = "https://www.rssboard.org/rss-specification";

// The one channel a component holds: the channel's fields, its image and
// text input, the items (position 1 first in the document), the declared
// namespaces, the version it is written as, and the cached document text.
// Text is narrow and stored exactly as set. Each operation returns 0 or a
// code and leaves the code and its message as the last error; a failed
// operation leaves the model as it was.
//
// The model knows nothing of the XML reader or the HTTP client below it: the
// feed engine resets those around Reset() (the reader's multi-byte mode and
// the HTTP version), each layer restoring its own defaults.
class FeedState {
 public:
  // The state of a new component: reset, every channel, image and text-input
  // text empty except the channel's docs, version 2.0.
  FeedState();
  FeedState(const FeedState&) = delete;
  FeedState& operator=(const FeedState&) = delete;

  void Reset() noexcept;
  // Reset, but for the namespaces, which stay as they are: what a document
  // leaves behind when its reading fails after the root's start tag.
  void ResetKeepingNamespaces() noexcept;
  // Exchanges everything but the last error with other: the channel, image,
  // text input, items, namespaces, version, AllowNonRSS, the document
  // text and what a read model points into. A document read into a model
  // of its own replaces this one whole.
  void SwapModel(FeedState& other) noexcept;

  int LastError() const noexcept { return lastError_; }
  std::string_view LastErrorText() const noexcept { return lastErrorText_.View(); }
  void ClearError() noexcept;
  // Records code with its message and returns code.
  int Fail(int code, std::string_view text = {}) noexcept;

  FeedContainer& Channel() noexcept { return channel_; }
  FeedContainer& Image() noexcept { return image_; }
  FeedContainer& TextInput() noexcept { return textInput_; }
  const FeedContainer& Channel() const noexcept { return channel_; }
  const FeedContainer& Image() const noexcept { return image_; }
  const FeedContainer& TextInput() const noexcept { return textInput_; }

  // Changes a field of any container and marks the model modified.
  int SetFieldText(FeedField& field, std::string_view text) noexcept;
  int SetFieldAttribute(FeedField& field, std::string_view name, std::string_view value) noexcept;

  // Items, by position from 1.
  size_t ItemCount() const noexcept { return items_.Count(); }
  FeedContainer* Item(long index) const noexcept;
  int AddItem(std::string_view title, std::string_view description, std::string_view link) noexcept;
  int SetItemCount(long count) noexcept;
  // Appends an empty item, as growing the count by one does; reading gives
  // it its fixed fields from the read store.
  int AppendItem(FeedContainer*& added, Arena* arena = nullptr) noexcept;
  // Fixed item fields by their position in the item table (item_field::k...).
  int ItemText(long index, size_t field, std::string_view& out) noexcept;
  int SetItemText(long index, size_t field, std::string_view text) noexcept;
  int ItemAttribute(long index, size_t field, std::string_view name, std::string_view& out) noexcept;
  int SetItemAttribute(long index, size_t field, std::string_view name, std::string_view value) noexcept;

  // Namespaces, by position from 1; the default namespace stands apart.
  size_t NamespaceCount() const noexcept { return prefixes_.Count(); }
  int SetNamespaceCount(long count) noexcept;
  int NamespacePrefix(long index, std::string_view& out) noexcept;
  int NamespaceUri(long index, std::string_view& out) noexcept;
  // Index 0 sets the default namespace URI.
  int SetNamespaceUri(long index, std::string_view uri) noexcept;
  // Index 0 is accepted and changes nothing.
  int SetNamespacePrefix(long index, std::string_view prefix) noexcept;
  int AddNamespace(std::string_view prefix, std::string_view uri) noexcept;
  // Reading's rule: an empty prefix sets the default namespace, a known
  // prefix gets the new URI, any other prefix is added.
  int MergeNamespace(std::string_view prefix, std::string_view uri) noexcept;
  // Both lists whole, to walk them in order.
  const StringList& NamespacePrefixes() const noexcept { return prefixes_; }
  const StringList& NamespaceUris() const noexcept { return uris_; }
  std::string_view DefaultNamespace() const noexcept { return defaultNamespace_.View(); }
  int SetDefaultNamespace(std::string_view uri) noexcept;

  int Version() const noexcept { return version_; }
  int SetVersion(long version) noexcept;

  bool AllowNonRss() const noexcept { return allowNonRss_; }
  // A change decides what the document text holds, so it counts as one.
  void SetAllowNonRss(bool allow) noexcept {
    if (allow != allowNonRss_) modified_ = true;
    allowNonRss_ = allow;
  }

  std::string_view Generator() const noexcept { return channel_.Fixed(channel_field::kGenerator).Text(); }
  int SetGenerator(std::string_view text) noexcept;

  // The cached XML text of the feed; modified says it no longer matches.
  std::string_view DocumentText() const noexcept {
    return documentIsRead_ ? readText_.View() : documentText_.View();
  }
  // A text produced from the model.
  void SetDocumentText(GrowString&& text) noexcept;
  // The text a document is read from (copied up to its first NUL, or taken
  // over): it becomes the document text. The model read from it may point into it and into
  // the read store, so both stay until the next Reset.
  int SetReadText(std::string_view text) noexcept;
  int SetReadText(GrowString&& text) noexcept;
  Arena& ReadStore() noexcept { return readStore_; }
  bool Modified() const noexcept { return modified_; }
  void SetModified(bool modified) noexcept { modified_ = modified; }

 private:
  int CheckItemIndex(long index, FeedContainer*& item) noexcept;
  int CheckNamespaceIndex(long index) noexcept;
  static FeedContainer::Owned NewItem(Arena* arena = nullptr) noexcept;

  // What the model read points into; declared first, so that it goes last.
  GrowString readText_;
  Arena readStore_;
  FeedContainer channel_{ContainerKind::kChannel};
  FeedContainer image_{ContainerKind::kImage};
  FeedContainer textInput_{ContainerKind::kTextInput};
  OwnedList<FeedContainer, FeedContainer::Deleter> items_;
  StringList prefixes_;
  StringList uris_;
  GrowString defaultNamespace_;
  int version_ = rssVersion200;
  bool allowNonRss_ = true;
  GrowString documentText_;
  bool documentIsRead_ = false;
  bool modified_ = false;
  int lastError_ = 0;
  GrowString lastErrorText_;
};

}  // namespace rssvane
