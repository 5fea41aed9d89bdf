#include "feed/FeedField.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "base/Bytes.h"
#include "base/Codes.h"

namespace rssvane {

namespace {

// A block of exactly text.size() bytes holding text, or nullptr for empty text.
bool CopyOf(std::string_view text, char*& out) noexcept {
  out = nullptr;
  if (text.empty()) return true;
  out = static_cast<char*>(std::malloc(text.size()));
  if (!out) return false;
  std::memcpy(out, text.data(), text.size());
  return true;
}

constexpr size_t kMaxText = std::numeric_limits<uint32_t>::max() - 8;

}  // namespace

static_assert(sizeof(FeedField) == 32, "a read feed holds ten fixed fields per item");
static_assert(alignof(std::max_align_t) >= 8, "tables are aligned to 8, which leaves three bits of table_ free");

void FeedField::Release() noexcept {
  if (Owns(kOwnsName)) std::free(const_cast<char*>(name_));
  Drop(kOwnsName);
  DropText();
  DropTable();
}

void FeedField::DropTable() noexcept {
  // A table in an arena holds fewer entries than an index is made for
  // (ReserveAttributes), so it owns nothing: it is not even read, which
  // spares a read feed's teardown a cache miss a field.
  FreeTable(HeapTable());
  table_ &= kOwnsName | kOwnsText;
}

FeedField::FeedField(FeedField&& other) noexcept { *this = std::move(other); }

FeedField& FeedField::operator=(FeedField&& other) noexcept {
  if (this == &other) return *this;
  Release();
  if (other.nameLength_ == kFixedName) {
    spec_ = other.spec_;
  } else {
    name_ = other.name_;
  }
  other.name_ = nullptr;
  text_ = std::exchange(other.text_, nullptr);
  table_ = std::exchange(other.table_, 0);
  nameLength_ = std::exchange(other.nameLength_, 0);
  textLength_ = std::exchange(other.textLength_, 0);
  return *this;
}

void FeedField::InitFixed(const FieldSpec& spec) noexcept {
  spec_ = &spec;
  nameLength_ = kFixedName;
}

int FeedField::InitExtra(std::string_view name) noexcept {
  char* copy;
  if (name.size() > kMaxText || !CopyOf(name, copy)) return kErrListMemory;
  InitShared(std::string_view(copy, name.size()));
  table_ |= kOwnsName;
  return 0;
}

int FeedField::InitShared(std::string_view name) noexcept {
  if (name.size() > kMaxText) return kErrListMemory;
  if (Owns(kOwnsName)) std::free(const_cast<char*>(name_));
  Drop(kOwnsName);
  name_ = name.data();
  nameLength_ = static_cast<uint32_t>(name.size());
  return 0;
}

void FeedField::DropText() noexcept {
  if (Owns(kOwnsText)) std::free(const_cast<char*>(text_));
  Drop(kOwnsText);
  text_ = nullptr;
  textLength_ = 0;
}

int FeedField::SetText(std::string_view text) noexcept {
  if (text.size() > kMaxText) return kErrOutOfMemory;
  // The new text may be a part of the old one: copy before freeing.
  char* copy;
  if (!CopyOf(text, copy)) return kErrOutOfMemory;
  DropText();
  text_ = copy;
  textLength_ = static_cast<uint32_t>(text.size());
  if (copy) table_ |= kOwnsText;
  return 0;
}

void FeedField::ShareText(std::string_view text) noexcept {
  DropText();
  text_ = text.data();
  textLength_ = static_cast<uint32_t>(text.size());
}

size_t FeedField::AttributeCount() const noexcept {
  TableHead* head = Head();
  return head ? head->count : 0;
}

std::string_view FeedField::AttributeName(size_t i) const noexcept {
  if (i >= AttributeCount()) return {};
  const AttributeEntry& e = Entries()[i];
  return std::string_view(e.name, e.nameLength);
}

std::string_view FeedField::AttributeValue(size_t i) const noexcept {
  if (i >= AttributeCount()) return {};
  const AttributeEntry& e = Entries()[i];
  return std::string_view(e.value, e.valueLength);
}

long FeedField::FindAttribute(std::string_view name) const noexcept {
  TableHead* head = Head();
  if (!head) return -1;
  AttributeTable* heap = HeapTable();
  if (heap && heap->index) return heap->index->Find(name, [this](uint32_t i) { return AttributeName(i); });
  const AttributeEntry* entries = Entries();
  for (uint32_t i = 0; i < head->count; ++i) {
    if (SameBytes(std::string_view(entries[i].name, entries[i].nameLength), name)) {
      return static_cast<long>(i);
    }
  }
  return -1;
}

std::string_view FeedField::Attribute(std::string_view name) const noexcept {
  long found = FindAttribute(name);
  return found < 0 ? std::string_view() : AttributeValue(static_cast<size_t>(found));
}

void FeedField::FreeTable(AttributeTable* table) noexcept {
  if (!table) return;
  table->~AttributeTable();
  std::free(table);
}

int FeedField::MakeRoom(size_t entries, size_t bytes, AttributeTable*& old) noexcept {
  old = nullptr;
  TableHead* from = Head();
  AttributeTable* heap = HeapTable();
  size_t room = heap ? heap->bytesCapacity - heap->bytesLength : 0;
  if (from && entries <= from->entryCapacity && bytes <= room) return 0;
  uint32_t count = from ? from->count : 0;
  const AttributeEntry* fromEntries = from ? Entries() : nullptr;
  auto holds = [heap](const char* p) { return heap && heap->Holds(p); };
  size_t live = bytes;
  for (uint32_t i = 0; i < count; ++i) {
    const AttributeEntry& e = fromEntries[i];
    if (holds(e.name)) live += e.nameLength;
    if (holds(e.value)) live += e.valueLength;
  }
  if (live > kMaxText || entries > kMaxText / sizeof(AttributeEntry)) return kErrOutOfMemory;
  // Most fields hold one or two attributes: exact sizes first, then room to
  // grow for fields that keep collecting.
  size_t entryCapacity = from && entries <= from->entryCapacity ? from->entryCapacity
                         : entries <= 2                         ? entries
                                                                : entries + entries / 2;
  size_t bytesCapacity = live == 0 || entries <= 2 ? live : live + live / 2;
  if (bytesCapacity > kMaxText) bytesCapacity = live;
  void* block = std::malloc(sizeof(AttributeTable) + entryCapacity * sizeof(AttributeEntry) + bytesCapacity);
  if (!block) return kErrOutOfMemory;
  auto* to = new (block) AttributeTable{{count, static_cast<uint32_t>(entryCapacity)}, 0,
                                        static_cast<uint32_t>(bytesCapacity), nullptr};
  char* out = to->Bytes();
  uint32_t at = 0;
  auto keep = [&](const char* p, uint32_t length) -> const char* {
    if (!holds(p)) return p;
    std::memcpy(out + at, p, length);
    const char* moved = out + at;
    at += length;
    return moved;
  };
  for (uint32_t i = 0; i < count; ++i) {
    const AttributeEntry& e = fromEntries[i];
    to->Entries()[i] = {keep(e.name, e.nameLength), keep(e.value, e.valueLength), e.nameLength, e.valueLength};
  }
  to->bytesLength = at;
  if (heap) to->index = std::move(heap->index);
  // A table from an arena stays there, given up.
  old = heap;
  SetTable(to, false);
  return 0;
}

int FeedField::ReserveAttributes(size_t more, Arena* arena) noexcept {
  // A table that may grow an index lives on the heap, where it is freed.
  if (Head() || !arena || more >= kIndexFrom) {
    AttributeTable* old;
    if (int rc = MakeRoom(AttributeCount() + more, 0, old)) return rc;
    FreeTable(old);
    return 0;
  }
  if (more > kMaxText / sizeof(AttributeEntry)) return kErrOutOfMemory;
  void* block = arena->Allocate(sizeof(TableHead) + more * sizeof(AttributeEntry));
  if (!block) return kErrOutOfMemory;
  SetTable(new (block) TableHead{0, static_cast<uint32_t>(more)}, true);
  return 0;
}

int FeedField::PutAttribute(long found, std::string_view name, std::string_view value, bool copy) noexcept {
  if (name.size() > kMaxText || value.size() > kMaxText) return kErrOutOfMemory;
  AttributeTable* old;
  if (found >= 0) {
    AttributeEntry* e = &Entries()[found];
    if (!copy || value.empty()) {
      e->value = copy ? "" : value.data();
      e->valueLength = static_cast<uint32_t>(value.size());
      return 0;
    }
    // A copy no longer than the copied value it replaces takes its place;
    // value may be a part of this very table.
    AttributeTable* heap = HeapTable();
    if (value.size() <= e->valueLength && heap && heap->Holds(e->value)) {
      std::memmove(const_cast<char*>(e->value), value.data(), value.size());
      e->valueLength = static_cast<uint32_t>(value.size());
      return 0;
    }
    // With bytes to copy, the table is on the heap after this.
    if (int rc = MakeRoom(Head()->count, value.size(), old)) return rc;
    heap = HeapTable();
    e = &heap->Entries()[found];
    char* out = heap->Bytes() + heap->bytesLength;
    std::memcpy(out, value.data(), value.size());
    heap->bytesLength += static_cast<uint32_t>(value.size());
    e->value = out;
    e->valueLength = static_cast<uint32_t>(value.size());
    FreeTable(old);
    return 0;
  }
  size_t count = AttributeCount();
  if (count == std::numeric_limits<uint32_t>::max()) return kErrOutOfMemory;
  size_t bytes = copy ? name.size() + value.size() : 0;
  if (int rc = MakeRoom(count + 1, bytes, old)) return rc;
  AttributeEntry e{name.data(), value.data(), static_cast<uint32_t>(name.size()), static_cast<uint32_t>(value.size())};
  if (copy && bytes == 0) {
    e.name = e.value = "";
  } else if (copy) {
    // name and value may still point into the old table, freed only now.
    AttributeTable* heap = HeapTable();
    char* out = heap->Bytes() + heap->bytesLength;
    if (!name.empty()) std::memcpy(out, name.data(), name.size());
    if (!value.empty()) std::memcpy(out + name.size(), value.data(), value.size());
    heap->bytesLength += static_cast<uint32_t>(bytes);
    e.name = out;
    e.value = out + name.size();
  }
  FreeTable(old);
  Entries()[count] = e;
  ++Head()->count;
  if (AttributeTable* heap = HeapTable()) {
    IndexAppendedName(heap->index, count + 1, kIndexFrom, [this](uint32_t i) { return AttributeName(i); });
  }
  return 0;
}

int FeedField::SetAttribute(std::string_view name, std::string_view value) noexcept {
  return PutAttribute(FindAttribute(name), name, value, true);
}

int FeedField::ShareAttribute(std::string_view name, std::string_view value) noexcept {
  long found = FindAttribute(name);
  // A new name where the table has room and no index yet (a reader that
  // reserved room for an element's attributes): the entry is all there is
  // to write.
  TableHead* head = Head();
  if (found < 0 && head && head->count + 1 < kIndexFrom && head->count < head->entryCapacity &&
      name.size() <= kMaxText && value.size() <= kMaxText) {
    Entries()[head->count] = {name.data(), value.data(), static_cast<uint32_t>(name.size()),
                              static_cast<uint32_t>(value.size())};
    ++head->count;
    return 0;
  }
  return PutAttribute(found, name, value, false);
}

void FeedField::Clear() noexcept {
  DropText();
  DropTable();
}

}  // namespace rssvane
