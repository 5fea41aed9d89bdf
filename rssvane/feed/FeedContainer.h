#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Arena.h"
#include "base/NameIndex.h"
#include "base/OwnedList.h"
#include "feed/FeedField.h"

namespace rssvane {

enum class ContainerKind : uint8_t { kChannel, kImage, kTextInput, kItem };

// Positions of the fixed fields in their tables.
namespace channel_field {
enum : size_t {
  kTitle, kLink, kDescription, kLanguage, kCopyright, kManagingEditor, kWebMaster, kPubDate,
  kLastBuildDate, kDocs, kTtl, kGenerator, kRating, kSkipHours, kSkipDays, kCategory, kCloud,
  kCount
};
}
namespace image_field {
enum : size_t { kUrl, kTitle, kLink, kWidth, kHeight, kCount };
}
namespace text_input_field {
enum : size_t { kTitle, kDescription, kName, kLink, kCount };
}
namespace item_field {
enum : size_t {
  kTitle, kDescription, kLink, kAuthor, kComments, kPubDate, kSource, kCategory, kGuid, kEnclosure,
  kCount
};
}

// The element name a container is written as ("channel", "image",
// "textInput", "item") and its table of fixed fields.
std::string_view ContainerElementName(ContainerKind kind) noexcept;
const FieldSpec* FieldTable(ContainerKind kind, size_t& count) noexcept;

// The fixed fields of one channel, image, text input or item, in table order,
// followed by the extra fields created on demand, in creation order.
class FeedContainer {
 public:
  static constexpr size_t kMaxFixed = 25;
  // Every fixed name is shorter than this.
  static constexpr size_t kFixedNameLengths = 16;

  // The fixed fields take a block of their own, or come from arena (the
  // read store of the feed the container belongs to), which outlives it, as
  // do the extras then.
  // Throws std::bad_alloc when there is no memory for them.
  explicit FeedContainer(ContainerKind kind, Arena* arena = nullptr);
  // Gives back a container made by New, wherever it lives.
  struct Deleter {
    void operator()(FeedContainer* container) const noexcept;
  };
  using Owned = std::unique_ptr<FeedContainer, Deleter>;
  // A new container on the heap, or with an arena, the container itself
  // taken from it too, as a feed of many items is read; nullptr when memory
  // runs out.
  static Owned New(ContainerKind kind, Arena* arena = nullptr) noexcept;
  ~FeedContainer();
  FeedContainer(const FeedContainer&) = delete;
  FeedContainer& operator=(const FeedContainer&) = delete;
  // The fields move with their storage: pointers to them stay valid. What
  // is moved from owns nothing and may only be destroyed or assigned to.
  // Where each container itself lives does not move.
  FeedContainer(FeedContainer&& other) noexcept
      : kind_(other.kind_),
        fixedInArena_(other.fixedInArena_),
        placedInArena_(false),
        fixedCount_(std::exchange(other.fixedCount_, 0)),
        fixed_(std::exchange(other.fixed_, nullptr)),
        lengthBits_(other.lengthBits_),
        extras_(std::move(other.extras_)),
        index_(std::move(other.index_)) {}
  FeedContainer& operator=(FeedContainer&& other) noexcept {
    std::swap(kind_, other.kind_);
    std::swap(fixedInArena_, other.fixedInArena_);
    std::swap(fixedCount_, other.fixedCount_);
    std::swap(fixed_, other.fixed_);
    std::swap(lengthBits_, other.lengthBits_);
    extras_.swap(other.extras_);
    index_.swap(other.index_);
    return *this;
  }

  ContainerKind Kind() const noexcept { return kind_; }
  size_t FixedCount() const noexcept { return fixedCount_; }
  FeedField& Fixed(size_t i) noexcept { return fixed_[i]; }
  const FeedField& Fixed(size_t i) const noexcept { return fixed_[i]; }
  size_t ExtraCount() const noexcept { return extras_.size(); }
  // Room for count extras before the first is added, where a reader knows
  // how many to expect; without it the first takes room for four.
  void ReserveExtras(size_t count) noexcept;
  // A field found or added stays where it is until the next extra is added.
  FeedField* Extra(size_t i) noexcept { return i < extras_.size() ? &extras_[i] : nullptr; }
  const FeedField* Extra(size_t i) const noexcept { return i < extras_.size() ? &extras_[i] : nullptr; }

  // Exact, case-sensitive; the fixed fields first, then the extras.
  FeedField* Find(std::string_view name) noexcept;
  const FeedField* Find(std::string_view name) const noexcept;
  // Appends an extra field with a copy of name, or with name shared from
  // text that outlives the field; kErrListMemory (229) on failure.
  int AddExtra(std::string_view name, FeedField*& added) noexcept;
  int AddSharedExtra(std::string_view name, FeedField*& added) noexcept;
  // Destroys the extras and empties every fixed field.
  void Clear() noexcept;

 private:
  FeedField* FindExtra(std::string_view name) noexcept;
  // Makes the extra in its place at the end, its name copied or shared.
  int AddNamedExtra(std::string_view name, bool shared, FeedField*& added) noexcept;

  ContainerKind kind_;
  bool fixedInArena_;
  // Made by New in an arena: given back by destruction alone.
  bool placedInArena_ = false;
  uint8_t fixedCount_;
  FeedField* fixed_;
  // Which fixed fields have a name of each length.
  const uint32_t* lengthBits_;
  // Most containers have no extras: an empty vector costs no allocation.
  // The extras of a container read into an arena are taken from it too.
  std::vector<FeedField, ArenaAllocator<FeedField>> extras_;
  // A container with many extras (a channel of ever new element names) gets
  // an index by name, so that reading it stays linear.
  static constexpr size_t kIndexFrom = 32;
  std::unique_ptr<NameIndex> index_;
};

}  // namespace rssvane
