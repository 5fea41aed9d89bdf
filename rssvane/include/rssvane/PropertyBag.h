#pragma once

// A host's property bag: where the control saves the properties that a host
// keeps with its document, each under its name, and reads them back.

#include <string_view>

#include <rssvane/Variant.h>

namespace rssvane {

class PropertyBag {
 public:
  virtual ~PropertyBag() = default;
  // False, leaving value alone, when the bag holds nothing of that name.
  virtual bool Read(std::u16string_view name, Variant& value) = 0;
  virtual void Write(std::u16string_view name, const Variant& value) = 0;
};

}  // namespace rssvane
