#include "feed/FeedState.h"

#include <algorithm>
#include <new>
#include <utility>

#include "base/Codes.h"

namespace rssvane {

FeedState::FeedState() {
  Reset();
  channel_.Fixed(channel_field::kDocs).SetText(kInitialChannelDocs);
}

void FeedState::Reset() noexcept {
  prefixes_.Clear();
  uris_.Clear();
  defaultNamespace_.Clear();
  ResetKeepingNamespaces();
}

void FeedState::ResetKeepingNamespaces() noexcept {
  items_.Clear();
  channel_.Clear();
  channel_.Fixed(channel_field::kGenerator).SetText(kGeneratorText);
  image_.Clear();
  textInput_.Clear();
  // Nothing in the model points into what was read any more; a large
  // document's text is given back rather than kept for the next.
  documentText_ = GrowString();
  readText_ = GrowString();
  documentIsRead_ = false;
  readStore_.Clear();
  version_ = rssVersion200;
  // Namespaces that stay are a change since the last text was produced.
  modified_ = NamespaceCount() > 0 || !defaultNamespace_.Empty();
  allowNonRss_ = true;
}

void FeedState::SetDocumentText(GrowString&& text) noexcept {
  documentText_ = std::move(text);
  documentIsRead_ = false;
}

// The read text is kept on the heap even when short, so that a model that
// points into it can change hands whole (SwapModel).
int FeedState::SetReadText(std::string_view text) noexcept {
  GrowString copy;
  if (copy.AssignUpToNul(text)) return Fail(kErrOutOfMemory);
  return SetReadText(std::move(copy));
}

int FeedState::SetReadText(GrowString&& text) noexcept {
  readText_ = std::move(text);
  if (!readText_.OnHeap() && readText_.Reserve(GrowString::kInlineSize)) return Fail(kErrOutOfMemory);
  documentIsRead_ = true;
  return 0;
}

void FeedState::SwapModel(FeedState& other) noexcept {
  using std::swap;
  swap(channel_, other.channel_);
  swap(image_, other.image_);
  swap(textInput_, other.textInput_);
  swap(items_, other.items_);
  swap(prefixes_, other.prefixes_);
  swap(uris_, other.uris_);
  swap(defaultNamespace_, other.defaultNamespace_);
  swap(version_, other.version_);
  swap(allowNonRss_, other.allowNonRss_);
  swap(documentText_, other.documentText_);
  swap(readText_, other.readText_);
  swap(documentIsRead_, other.documentIsRead_);
  readStore_.Swap(other.readStore_);
  swap(modified_, other.modified_);
}

void FeedState::ClearError() noexcept {
  lastError_ = 0;
  lastErrorText_.Clear();
}

int FeedState::Fail(int code, std::string_view text) noexcept {
  lastError_ = code;
  lastErrorText_.Assign(text);
  return code;
}

int FeedState::SetFieldText(FeedField& field, std::string_view text) noexcept {
  if (field.SetText(text) != 0) return Fail(kErrOutOfMemory);
  modified_ = true;
  return 0;
}

int FeedState::SetFieldAttribute(FeedField& field, std::string_view name, std::string_view value) noexcept {
  if (int rc = field.SetAttribute(name, value)) return Fail(rc);
  modified_ = true;
  return 0;
}

FeedContainer::Owned FeedState::NewItem(Arena* arena) noexcept { return FeedContainer::New(ContainerKind::kItem, arena); }

FeedContainer* FeedState::Item(long index) const noexcept {
  if (index < 1) return nullptr;
  return items_.At(static_cast<size_t>(index - 1));
}

int FeedState::CheckItemIndex(long index, FeedContainer*& item) noexcept {
  item = Item(index);
  if (!item) return Fail(kErrInvalidIndex, "Invalid item index.");
  return 0;
}

int FeedState::AddItem(std::string_view title, std::string_view description, std::string_view link) noexcept {
  FeedContainer::Owned item = NewItem();
  if (!item) return Fail(kErrListMemory);
  if (item->Fixed(item_field::kTitle).SetText(title) || item->Fixed(item_field::kDescription).SetText(description) ||
      item->Fixed(item_field::kLink).SetText(link)) {
    return Fail(kErrOutOfMemory);
  }
  if (int rc = items_.Insert(0, std::move(item))) return Fail(rc);
  modified_ = true;
  return 0;
}

int FeedState::SetItemCount(long count) noexcept {
  if (count < 0) return Fail(kErrInvalidIndex, "ItemCount cannot be negative.");
  if (static_cast<size_t>(count) == items_.Count()) return 0;
  int rc = items_.Resize(count, [] {
    FeedContainer::Owned item = NewItem();
    if (!item) throw std::bad_alloc();
    return item;
  });
  modified_ = true;
  if (rc) return Fail(kErrInvalidIndex, "Cannot add more items.");
  return 0;
}

int FeedState::AppendItem(FeedContainer*& added, Arena* arena) noexcept {
  added = nullptr;
  FeedContainer::Owned item = NewItem(arena);
  if (!item) return Fail(kErrInvalidIndex, "Cannot add more items.");
  // The items of a feed being read are much alike: each gets room for as
  // many extras as the one before it has.
  if (arena && items_.Count() > 0) item->ReserveExtras(items_.At(items_.Count() - 1)->ExtraCount());
  FeedContainer* raw = item.get();
  if (items_.Append(std::move(item))) return Fail(kErrInvalidIndex, "Cannot add more items.");
  modified_ = true;
  added = raw;
  return 0;
}

int FeedState::ItemText(long index, size_t field, std::string_view& out) noexcept {
  out = {};
  FeedContainer* item;
  if (int rc = CheckItemIndex(index, item)) return rc;
  out = item->Fixed(field).Text();
  return 0;
}

int FeedState::SetItemText(long index, size_t field, std::string_view text) noexcept {
  FeedContainer* item;
  if (int rc = CheckItemIndex(index, item)) return rc;
  return SetFieldText(item->Fixed(field), text);
}

int FeedState::ItemAttribute(long index, size_t field, std::string_view name, std::string_view& out) noexcept {
  out = {};
  FeedContainer* item;
  if (int rc = CheckItemIndex(index, item)) return rc;
  out = item->Fixed(field).Attribute(name);
  return 0;
}

int FeedState::SetItemAttribute(long index, size_t field, std::string_view name, std::string_view value) noexcept {
  FeedContainer* item;
  if (int rc = CheckItemIndex(index, item)) return rc;
  return SetFieldAttribute(item->Fixed(field), name, value);
}

int FeedState::SetNamespaceCount(long count) noexcept {
  if (count < 0) return Fail(kErrNamespaceCount, "Namespace count cannot be negative.");
  size_t wanted = static_cast<size_t>(count);
  if (wanted == prefixes_.Count()) return 0;
  if (prefixes_.Resize(wanted) || uris_.Resize(wanted)) {
    // Keep the two lists the same length whatever happened.
    size_t common = std::min(prefixes_.Count(), uris_.Count());
    prefixes_.Resize(common);
    uris_.Resize(common);
    modified_ = true;
    return Fail(kErrOutOfMemory);
  }
  modified_ = true;
  return 0;
}

int FeedState::CheckNamespaceIndex(long index) noexcept {
  if (index < 1 || static_cast<size_t>(index) > prefixes_.Count()) return Fail(kErrInvalidIndex, "Invalid namespace index.");
  return 0;
}

int FeedState::NamespacePrefix(long index, std::string_view& out) noexcept {
  out = {};
  if (int rc = CheckNamespaceIndex(index)) return rc;
  out = prefixes_.Get(static_cast<size_t>(index - 1));
  return 0;
}

int FeedState::NamespaceUri(long index, std::string_view& out) noexcept {
  out = {};
  if (int rc = CheckNamespaceIndex(index)) return rc;
  out = uris_.Get(static_cast<size_t>(index - 1));
  return 0;
}

int FeedState::SetNamespaceUri(long index, std::string_view uri) noexcept {
  if (index == 0) return SetDefaultNamespace(uri);
  if (int rc = CheckNamespaceIndex(index)) return rc;
  if (int rc = uris_.Set(static_cast<size_t>(index - 1), uri)) return Fail(rc);
  modified_ = true;
  return 0;
}

int FeedState::SetNamespacePrefix(long index, std::string_view prefix) noexcept {
  if (index == 0) return 0;
  if (int rc = CheckNamespaceIndex(index)) return rc;
  if (int rc = prefixes_.Set(static_cast<size_t>(index - 1), prefix)) return Fail(rc);
  modified_ = true;
  return 0;
}

int FeedState::AddNamespace(std::string_view prefix, std::string_view uri) noexcept {
  if (int rc = prefixes_.Append(prefix)) return Fail(rc);
  if (int rc = uris_.Append(uri)) {
    prefixes_.Resize(uris_.Count());
    return Fail(rc);
  }
  modified_ = true;
  return 0;
}

int FeedState::MergeNamespace(std::string_view prefix, std::string_view uri) noexcept {
  if (prefix.empty()) return SetDefaultNamespace(uri);
  long at = prefixes_.Find(prefix);
  if (at < 0) return AddNamespace(prefix, uri);
  if (int rc = uris_.Set(static_cast<size_t>(at), uri)) return Fail(rc);
  modified_ = true;
  return 0;
}

int FeedState::SetDefaultNamespace(std::string_view uri) noexcept {
  if (defaultNamespace_.Assign(uri)) return Fail(kErrOutOfMemory);
  modified_ = true;
  return 0;
}

int FeedState::SetVersion(long version) noexcept {
  if (version < rssVersionUndefined || version > rssVersion200) return Fail(kErrInvalidVersion, "Invalid RSS version.");
  version_ = static_cast<int>(version);
  modified_ = true;
  return 0;
}

int FeedState::SetGenerator(std::string_view text) noexcept {
  return SetFieldText(channel_.Fixed(channel_field::kGenerator), text);
}

}  // namespace rssvane
