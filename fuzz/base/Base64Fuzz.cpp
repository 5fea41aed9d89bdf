// Base64 arrives from servers in authentication and tunnel replies.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/Base64.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string decoded;
  if (rssvane::Base64Decode(text, decoded)) {
    // Accepted text is canonical only up to the unused bits of its last
    // group, so compare through a second round trip.
    std::string again;
    if (!rssvane::Base64Decode(rssvane::Base64Encode(decoded), again) || again != decoded) std::abort();
  } else if (!decoded.empty()) {
    std::abort();
  }
  std::string encoded = rssvane::Base64Encode(text);
  if (!rssvane::Base64Decode(encoded, decoded) || decoded != text) std::abort();
  return 0;
}
