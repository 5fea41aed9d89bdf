// Saving and loading the properties a host keeps with its document. Every
// value goes through the member's own late-bound access, so it is read,
// coerced and checked as a host's own call would be.
#include <vector>

#include "control/Contents.h"
#include "control/RSSImpl.h"

namespace rssvane {

namespace {

// Refusals of a stream: the error a control reports for a file of the wrong
// format.
constexpr uint32_t kHrInvalidFileFormat = 0x800A0141u;

using Kind = RSS::DispatchKind;

// The saved properties this control has; each one the published surface
// lists is saved once its member exists.
std::vector<SavedValue> Current(RSS& rss) {
  std::vector<SavedValue> values;
  for (const SavedProperty& saved : SavedProperties()) {
    if (FindMember(saved.dispId)) values.push_back({saved.dispId, rss.Invoke(saved.dispId, Kind::kPropertyGet, {})});
  }
  return values;
}

void Apply(RSS& rss, const std::vector<SavedValue>& values) {
  for (const SavedValue& saved : values) rss.Invoke(saved.dispId, Kind::kPropertyPut, {saved.value});
}

// The loaded values are first given to a new control, whose properties
// check them; only what it accepted reaches this one, whose earlier values
// come back should taking them fail.
void LoadSaved(RSS& rss, const std::vector<SavedValue>& loaded) {
  std::vector<SavedValue> accepted;
  {
    RSS fresh;
    for (const SavedValue& saved : loaded) {
      if (FindMember(saved.dispId)) fresh.Invoke(saved.dispId, Kind::kPropertyPut, {saved.value});
    }
    accepted = Current(fresh);
  }
  std::vector<SavedValue> before = Current(rss);
  try {
    Apply(rss, accepted);
  } catch (...) {
    try {
      Apply(rss, before);
    } catch (...) {
      // The failure that started this is the one to report.
    }
    throw;
  }
}

}  // namespace

void RSS::Save(PropertyBag& bag) {
  for (const SavedValue& saved : Current(*this)) bag.Write(FindMember(saved.dispId)->name, saved.value);
}

void RSS::Load(PropertyBag& bag) {
  std::vector<SavedValue> loaded;
  for (const SavedProperty& saved : SavedProperties()) {
    Variant value;
    if (bag.Read(saved.name, value)) loaded.push_back({saved.dispId, std::move(value)});
  }
  LoadSaved(*this, loaded);
}

std::string RSS::SaveContents() { return WriteContents(Current(*this)); }

void RSS::LoadContents(std::string_view contents) {
  std::vector<SavedValue> loaded;
  std::string error;
  if (!ReadContents(contents, loaded, error)) {
    std::u16string description;
    NarrowToWide(error, 65001, description);
    throw AutomationError(kHrInvalidFileFormat, std::move(description), std::u16string(kProgId), {}, 0);
  }
  LoadSaved(*this, loaded);
}

}  // namespace rssvane
