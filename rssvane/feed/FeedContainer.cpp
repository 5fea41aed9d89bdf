#include "feed/FeedContainer.h"

#include <iterator>
#include <new>

#include "base/Bytes.h"
#include "base/Codes.h"

namespace rssvane {

namespace {

constexpr uint8_t kAll = kVersionAll;
constexpr uint8_t kNone = 0;
constexpr uint8_t k200 = kVersion200;
constexpr uint8_t k092Up = kVersion092 | kVersion200;

constexpr FieldSpec kChannelTable[] = {
    {"title", kAll, kAll},
    {"link", kAll, kAll},
    {"description", kAll, kAll},
    {"language", kAll, kVersion091},
    {"copyright", kAll, kNone},
    {"managingEditor", kAll, kNone},
    {"webMaster", kAll, kNone},
    {"pubDate", kAll, kNone},
    {"lastBuildDate", kAll, kNone},
    {"docs", kAll, kNone},
    {"ttl", k200, kNone},
    {"generator", k200, kNone},
    {"rating", kAll, kNone},
    {"skipHours", kAll, kNone},
    {"skipDays", kAll, kNone},
    {"category", k200, kNone},
    {"cloud", k092Up, kNone},
};

constexpr FieldSpec kImageTable[] = {
    {"url", kAll, kAll}, {"title", kAll, kAll}, {"link", kAll, kAll}, {"width", kAll, kNone}, {"height", kAll, kNone},
};

constexpr FieldSpec kTextInputTable[] = {
    {"title", kAll, kAll}, {"description", kAll, kAll}, {"name", kAll, kAll}, {"link", kAll, kAll},
};

constexpr FieldSpec kItemTable[] = {
    {"title", kAll, kVersion091},
    {"description", kAll, kVersion091},
    {"link", kAll, kNone},
    {"author", k200, kNone},
    {"comments", k200, kNone},
    {"pubDate", k200, kNone},
    {"source", k092Up, kNone},
    {"category", k092Up, kNone},
    {"guid", k200, kNone},
    {"enclosure", k092Up, kNone},
};

static_assert(std::size(kChannelTable) == channel_field::kCount);
static_assert(std::size(kImageTable) == image_field::kCount);
static_assert(std::size(kTextInputTable) == text_input_field::kCount);
static_assert(std::size(kItemTable) == item_field::kCount);

// For each name length, the fixed fields whose name has it (one bit each),
// so that a look-up compares only names that may match.
struct LengthBits {
  uint32_t bits[FeedContainer::kFixedNameLengths];
};

constexpr LengthBits BitsOf(const FieldSpec* table, size_t count) {
  LengthBits out{};
  for (size_t i = 0; i < count; ++i) out.bits[table[i].name.size()] |= uint32_t{1} << i;
  return out;
}

constexpr LengthBits kChannelBits = BitsOf(kChannelTable, std::size(kChannelTable));
constexpr LengthBits kImageBits = BitsOf(kImageTable, std::size(kImageTable));
constexpr LengthBits kTextInputBits = BitsOf(kTextInputTable, std::size(kTextInputTable));
constexpr LengthBits kItemBits = BitsOf(kItemTable, std::size(kItemTable));

const uint32_t* LengthBitsOf(ContainerKind kind) noexcept {
  switch (kind) {
    case ContainerKind::kChannel: return kChannelBits.bits;
    case ContainerKind::kImage: return kImageBits.bits;
    case ContainerKind::kTextInput: return kTextInputBits.bits;
    case ContainerKind::kItem: return kItemBits.bits;
  }
  return nullptr;
}

}  // namespace

std::string_view ContainerElementName(ContainerKind kind) noexcept {
  switch (kind) {
    case ContainerKind::kChannel: return "channel";
    case ContainerKind::kImage: return "image";
    case ContainerKind::kTextInput: return "textInput";
    case ContainerKind::kItem: return "item";
  }
  return {};
}

const FieldSpec* FieldTable(ContainerKind kind, size_t& count) noexcept {
  switch (kind) {
    case ContainerKind::kChannel: count = std::size(kChannelTable); return kChannelTable;
    case ContainerKind::kImage: count = std::size(kImageTable); return kImageTable;
    case ContainerKind::kTextInput: count = std::size(kTextInputTable); return kTextInputTable;
    case ContainerKind::kItem: count = std::size(kItemTable); return kItemTable;
  }
  count = 0;
  return nullptr;
}

FeedContainer::FeedContainer(ContainerKind kind, Arena* arena)
    : kind_(kind), fixedInArena_(arena != nullptr), lengthBits_(LengthBitsOf(kind)), extras_(ArenaAllocator<FeedField>(arena)) {
  size_t count;
  const FieldSpec* table = FieldTable(kind, count);
  fixedCount_ = static_cast<uint8_t>(count);
  if (arena) {
    void* block = arena->Allocate(fixedCount_ * sizeof(FeedField));
    if (!block) throw std::bad_alloc();
    fixed_ = new (block) FeedField[fixedCount_];
  } else {
    fixed_ = new FeedField[fixedCount_];
  }
  for (size_t i = 0; i < fixedCount_; ++i) fixed_[i].InitFixed(table[i]);
}

static_assert(FeedContainer::kMaxFixed <= UINT8_MAX);

FeedContainer::Owned FeedContainer::New(ContainerKind kind, Arena* arena) noexcept {
  try {
    if (!arena) return Owned(new FeedContainer(kind));
    void* place = arena->Allocate(sizeof(FeedContainer));
    if (!place) return nullptr;
    Owned made(new (place) FeedContainer(kind, arena));
    made->placedInArena_ = true;
    return made;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void FeedContainer::Deleter::operator()(FeedContainer* container) const noexcept {
  if (container->placedInArena_) {
    container->~FeedContainer();
  } else {
    delete container;
  }
}

FeedContainer::~FeedContainer() {
  if (!fixedInArena_) {
    delete[] fixed_;
    return;
  }
  for (size_t i = 0; i < fixedCount_; ++i) fixed_[i].~FeedField();
}

FeedField* FeedContainer::Find(std::string_view name) noexcept {
  if (name.size() < kFixedNameLengths) {
    for (uint32_t bits = lengthBits_[name.size()]; bits != 0; bits &= bits - 1) {
      FeedField& fixed = fixed_[__builtin_ctz(bits)];
      if (SameBytes(fixed.Name(), name)) return &fixed;
    }
  }
  return FindExtra(name);
}

FeedField* FeedContainer::FindExtra(std::string_view name) noexcept {
  if (index_) {
    long found = index_->Find(name, [this](uint32_t i) { return extras_[i].Name(); });
    return found < 0 ? nullptr : &extras_[static_cast<size_t>(found)];
  }
  for (FeedField& extra : extras_) {
    if (SameBytes(extra.Name(), name)) return &extra;
  }
  return nullptr;
}

const FeedField* FeedContainer::Find(std::string_view name) const noexcept {
  return const_cast<FeedContainer*>(this)->Find(name);
}

int FeedContainer::AddExtra(std::string_view name, FeedField*& added) noexcept {
  return AddNamedExtra(name, false, added);
}

int FeedContainer::AddSharedExtra(std::string_view name, FeedField*& added) noexcept {
  return AddNamedExtra(name, true, added);
}

// Made in its place among the extras rather than built and moved there: a
// read adds one or more to nearly every item.
int FeedContainer::AddNamedExtra(std::string_view name, bool shared, FeedField*& added) noexcept {
  added = nullptr;
  try {
    // A container that has extras at all usually has a few.
    if (extras_.capacity() == 0) extras_.reserve(4);
    extras_.emplace_back();
  } catch (const std::bad_alloc&) {
    return kErrListMemory;
  }
  FeedField& field = extras_.back();
  if ((shared ? field.InitShared(name) : field.InitExtra(name)) != 0) {
    extras_.pop_back();
    return kErrListMemory;
  }
  // The first of equal names wins, as in the scan.
  IndexAppendedName(index_, extras_.size(), kIndexFrom, [this](uint32_t i) { return extras_[i].Name(); });
  added = &field;
  return 0;
}

void FeedContainer::ReserveExtras(size_t count) noexcept {
  try {
    if (count > 0 && extras_.capacity() == 0) extras_.reserve(count);
  } catch (const std::bad_alloc&) {
    // The first extra makes room when it has to.
  }
}

void FeedContainer::Clear() noexcept {
  index_.reset();
  extras_.clear();
  for (size_t i = 0; i < fixedCount_; ++i) fixed_[i].Clear();
}

}  // namespace rssvane
