// Any URL text either is refused or gives parts that build a request of
// exactly its own lines: nothing in a URL can add a header.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "http/Request.h"
#include "http/Url.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t split = input.find('\n');
  std::string_view first = input.substr(0, split);
  std::string_view second = split == std::string_view::npos ? std::string_view() : input.substr(split + 1);

  rssvane::UrlTarget target;
  bool disconnect = false;
  std::string error;
  int rc = target.Set(first, false, rssvane::frAlways, disconnect, error);
  if (rc != 0 && error.empty()) std::abort();
  rc = target.Set(second, true, static_cast<rssvane::TFollowRedirects>(size % 3), disconnect, error);
  if (rc != 0 && error.empty()) std::abort();
  if (target.Port() < 0 || target.Port() > 65535) std::abort();

  rssvane::RequestFields fields;
  fields.verb = "GET";
  fields.scheme = target.Scheme();
  fields.host = target.Host();
  fields.port = target.Port();
  fields.path = target.Path();
  fields.httpVersion = "1.1";
  fields.viaProxy = (size & 1) != 0;
  std::string request;
  if (rssvane::BuildRequest(fields, true, request, error) != 0) {
    if (!request.empty()) std::abort();
    return 0;
  }
  size_t lines = 0;
  for (char c : request) lines += c == '\n';
  if (lines != 4 || !request.ends_with("Connection: close\r\n\r\n")) std::abort();
  return 0;
}
