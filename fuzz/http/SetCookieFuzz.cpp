// Every text of a cookie lies inside the header value it was read from and
// stops at the ";" that ends it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "http/Cookie.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  rssvane::Cookie cookie = rssvane::ReadSetCookie(text);
  if (cookie.name.find('=') != std::string_view::npos) std::abort();
  for (std::string_view part : {cookie.name, cookie.value, cookie.expires, cookie.domain, cookie.path}) {
    if (part.empty()) continue;
    if (part.data() < text.data() || part.data() + part.size() > text.data() + text.size()) std::abort();
    if (part.find(';') != std::string_view::npos) std::abort();
  }
  return 0;
}
