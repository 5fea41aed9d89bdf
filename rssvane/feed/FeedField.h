#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "base/Arena.h"
#include "base/NameIndex.h"

namespace rssvane {

// Bits of the version masks: which RSS versions allow or require a field.
enum VersionBit : uint8_t { kVersion091 = 1, kVersion092 = 2, kVersion200 = 4, kVersionAll = 7 };

// A fixed field's entry in its container's table: its name and the versions
// that allow and require it.
struct FieldSpec {
  std::string_view name;
  uint8_t allowed;
  uint8_t required;
};

// One element of a container: its name (with prefix when it has one), its
// text and its attributes. Texts are stored exactly as set.
//
// A feed of tens of thousands of items holds ten fixed fields per item, most
// of them empty, so a field is kept small. Its name, its text and the names
// and values of its attributes are either its own copies or shared: a feed
// that was read points into the text it was read from (or into the arena
// that holds what reading resolved), which the feed keeps until its Reset,
// rather than copying every text once more. The attributes (most fields have
// none) live in one table of the field's own, made on first use. A fixed
// field points at its table entry rather than holding its name and masks,
// and what the field owns is marked in the spare low bits of its table
// pointer: a field takes 32 bytes.
class FeedField {
 public:
  FeedField() = default;
  // Most fields of a read feed own nothing (a table in a read store is the
  // store's): they go without a call.
  ~FeedField() {
    if ((table_ & (kOwnsName | kOwnsText)) != 0 || (table_ > kFlags && (table_ & kTableInArena) == 0)) Release();
  }
  FeedField(FeedField&& other) noexcept;
  FeedField& operator=(FeedField&& other) noexcept;
  FeedField(const FeedField&) = delete;
  FeedField& operator=(const FeedField&) = delete;

  // A fixed field takes its name and masks from the container's table,
  // which outlives it.
  void InitFixed(const FieldSpec& spec) noexcept;
  // A field created on demand (both masks 0), with a copy of its name, or
  // with a name shared from text that outlives the field; kErrListMemory
  // (229) for a name too long to hold.
  int InitExtra(std::string_view name) noexcept;
  int InitShared(std::string_view name) noexcept;

  std::string_view Name() const noexcept {
    return nameLength_ == kFixedName ? spec_->name : std::string_view(name_, nameLength_);
  }
  uint8_t Allowed() const noexcept { return nameLength_ == kFixedName ? spec_->allowed : 0; }
  uint8_t Required() const noexcept { return nameLength_ == kFixedName ? spec_->required : 0; }

  std::string_view Text() const noexcept { return std::string_view(text_, textLength_); }
  // Keeps a copy of text.
  int SetText(std::string_view text) noexcept;
  // Points at text, which must outlive the field's use of it.
  void ShareText(std::string_view text) noexcept;

  size_t AttributeCount() const noexcept;
  std::string_view AttributeName(size_t i) const noexcept;
  std::string_view AttributeValue(size_t i) const noexcept;
  // Empty text when the field has no attribute of that name.
  std::string_view Attribute(std::string_view name) const noexcept;
  // Replaces the value of the attribute of that name, or appends it: with
  // copies of name and value, or pointing at them (they must then outlive
  // the field's use of them).
  int SetAttribute(std::string_view name, std::string_view value) noexcept;
  int ShareAttribute(std::string_view name, std::string_view value) noexcept;
  // Makes room for more attributes, in a table from arena (which outlives
  // the field) when the field has none yet.
  int ReserveAttributes(size_t more, Arena* arena) noexcept;

  bool HasContent() const noexcept { return textLength_ > 0 || AttributeCount() > 0; }
  // Empties the text and the attributes; the name and masks stay.
  void Clear() noexcept;

 private:
  struct AttributeEntry {
    const char* name;
    const char* value;
    uint32_t nameLength;
    uint32_t valueLength;
  };
  // Every attribute table begins with its counts. A table in an arena is
  // just that, with entryCapacity entries after it: it never holds copied
  // names or values, and never enough entries for an index (see
  // ReserveAttributes and MakeRoom).
  struct TableHead {
    uint32_t count;
    uint32_t entryCapacity;
  };
  // A table on the heap goes on with what it holds of its own: its entries
  // follow it, then bytesCapacity bytes that hold the names and values the
  // field copied.
  struct AttributeTable : TableHead {
    uint32_t bytesLength;
    uint32_t bytesCapacity;
    // A field that collects many attributes (a repeated element with ever
    // new names) gets an index by name, so that collecting them stays linear.
    std::unique_ptr<NameIndex> index;
    AttributeEntry* Entries() noexcept { return reinterpret_cast<AttributeEntry*>(this + 1); }
    char* Bytes() noexcept { return reinterpret_cast<char*>(Entries() + entryCapacity); }
    bool Holds(const char* p) noexcept { return p >= Bytes() && p < Bytes() + bytesCapacity; }
  };
  static constexpr uint32_t kIndexFrom = 32;
  // The name length of a fixed field, which no other name has.
  static constexpr uint32_t kFixedName = UINT32_MAX;
  // What the field owns, in the low bits of table_: tables are aligned to 8.
  static constexpr uintptr_t kOwnsName = 1, kOwnsText = 2, kTableInArena = 4, kFlags = 7;

  TableHead* Head() const noexcept { return reinterpret_cast<TableHead*>(table_ & ~kFlags); }
  // The table when it is on the heap, else nullptr.
  AttributeTable* HeapTable() const noexcept {
    return Owns(kTableInArena) ? nullptr : static_cast<AttributeTable*>(Head());
  }
  AttributeEntry* Entries() const noexcept {
    return Owns(kTableInArena) ? reinterpret_cast<AttributeEntry*>(Head() + 1) : HeapTable()->Entries();
  }
  bool Owns(uintptr_t flag) const noexcept { return (table_ & flag) != 0; }
  void Drop(uintptr_t flag) noexcept { table_ &= ~flag; }
  // Takes table as the field's own (on the heap), or as one from an arena.
  void SetTable(TableHead* table, bool inArena) noexcept {
    table_ = reinterpret_cast<uintptr_t>(table) | (table_ & (kOwnsName | kOwnsText)) | (inArena ? kTableInArena : uintptr_t{0});
  }

  // Position of the attribute called name, or -1.
  long FindAttribute(std::string_view name) const noexcept;
  // Makes room for entries attributes and bytes more copied bytes. When the
  // table has to move, the copied names and values still in use are packed
  // into the new one and old receives the previous table, for the caller to
  // free (FreeTable) once it no longer reads from it.
  int MakeRoom(size_t entries, size_t bytes, AttributeTable*& old) noexcept;
  // Frees a table the field took from the heap.
  static void FreeTable(AttributeTable* table) noexcept;
  // Stores value for the attribute at position found, or appends name and
  // value; copy says whether they are copied into the table.
  int PutAttribute(long found, std::string_view name, std::string_view value, bool copy) noexcept;
  void DropText() noexcept;
  // Gives back everything the field owns.
  void Release() noexcept;
  void DropTable() noexcept;

  // The name, or for a fixed field (nameLength_ kFixedName) its table entry.
  union {
    const char* name_ = nullptr;
    const FieldSpec* spec_;
  };
  const char* text_ = nullptr;
  // The attribute table, with the kOwns... and kTableInArena bits.
  uintptr_t table_ = 0;
  uint32_t nameLength_ = 0;
  uint32_t textLength_ = 0;
};

}  // namespace rssvane
