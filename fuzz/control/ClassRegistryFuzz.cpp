// The class registry file is read by every host that creates a control by
// name and rewritten by every registration; a user may have edited it. What
// the reader accepts it must write back to text that reads the same, and a
// class identifier read from it must write back as what was read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/AsciiText.h"
#include "control/ClassRegistry.h"
#include "rssvane/Registration.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  rssvane::ClassRegistry registry;
  std::string error;
  if (registry.Parse(text, error)) {
    std::string written = registry.Text();
    rssvane::ClassRegistry again;
    if (!again.Parse(written, error) || again.Text() != written) std::abort();
  } else if (!registry.Empty() || error.rfind("line ", 0) != 0) {
    std::abort();
  }

  rssvane::Guid guid;
  if (rssvane::GuidFromText(text, guid) &&
      !rssvane::EqualsIgnoreCase(rssvane::GuidToText(guid), text)) {
    std::abort();
  }
  return 0;
}
