#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rssvane/Variant.h"

namespace rssvane {

// The properties a host saves with its document, in the order they are
// saved, with their DISPIDs.
struct SavedProperty {
  int32_t dispId;
  std::u16string_view name;
};
std::span<const SavedProperty> SavedProperties() noexcept;

struct SavedValue {
  int32_t dispId;
  Variant value;
};

// The "Contents" stream (docs/rssvane-control.md): values, in the saved
// order, to bytes and back. A text, a 16-bit or a 32-bit integer is kept as
// such; any other value as its text.
std::string WriteContents(const std::vector<SavedValue>& values);
// False, with the reason in error, for bytes that are not exactly a stream
// of this layout: cut short, too long, another layout version, or values
// out of order or of unknown kinds.
bool ReadContents(std::string_view bytes, std::vector<SavedValue>& values, std::string& error);

}  // namespace rssvane
