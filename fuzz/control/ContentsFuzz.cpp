// A host hands the control the bytes of a "Contents" stream from a document
// it read, perhaps damaged, perhaps hostile. The reader accepts exactly the
// streams the writer makes, and what it accepts loads into a control or is
// refused by it as a whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "control/Contents.h"
#include "rssvane/RSS.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::vector<rssvane::SavedValue> values;
  std::string error;
  if (!rssvane::ReadContents(bytes, values, error)) {
    if (!values.empty() || error.empty()) std::abort();
    return 0;
  }
  if (rssvane::WriteContents(values) != bytes) std::abort();

  rssvane::RSS rss;
  const std::string before = rss.SaveContents();
  try {
    rss.LoadContents(bytes);
  } catch (const rssvane::AutomationError&) {
    if (rss.SaveContents() != before) std::abort();
  }
  return 0;
}
