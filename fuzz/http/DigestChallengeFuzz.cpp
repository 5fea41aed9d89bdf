// Whatever a server puts in its challenge, the Digest value built from it
// either is refused by the request builder or stays on its own line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "http/Authorization.h"
#include "http/Request.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view challengeText(reinterpret_cast<const char*>(data), size);
  rssvane::DigestChallenge challenge;
  std::string error;
  if (rssvane::ReadDigestChallenge(challengeText, challenge, error) != 0) std::abort();
  if (!challenge.qop.empty() && challenge.cnonce.size() != 8) std::abort();

  std::string value;
  int rc = rssvane::ComputeAuthorization(rssvane::authDigest, "user", "secret", challenge, {"PUT", "/doc", "body"},
                                         value, error);
  if (rc != 0) {
    if (!value.empty() || error.empty()) std::abort();
    return 0;
  }
  if (!value.empty() && !value.starts_with("Digest username=\"user\", realm=\"")) std::abort();

  rssvane::RequestFields fields;
  fields.verb = "PUT";
  fields.host = "h";
  fields.path = "/doc";
  fields.httpVersion = "1.1";
  fields.authorization = value;
  std::string request;
  if (rssvane::BuildRequest(fields, true, request, error) != 0) return 0;
  size_t lines = 0;
  for (char c : request) lines += c == '\n';
  if (lines != (value.empty() ? 4u : 5u)) std::abort();
  return 0;
}
