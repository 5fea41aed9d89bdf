#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <rssvane/RSSTypes.h>

namespace rssvane {

// The last Digest challenge a server sent and the client's use of it.
struct DigestChallenge {
  std::string realm;
  std::string qop;
  std::string algorithm = "md5";  // as the server named it; "md5" when it named none
  std::string nonce;
  std::string cnonce;
  std::string opaque;
  uint32_t nonceCount = 0;
  bool stale = false;  // the server refused an old nonce, not the credentials

  void Reset() { *this = DigestChallenge{}; }
};

// Reads the value of a WWW-Authenticate header. Only the scheme Digest (any
// case) is read: the challenge is reset, then realm, qop, algorithm, nonce,
// opaque and stale are taken from the parameters (quoted values run to the
// next double quote, others to the next ","), a qop list holding "auth-int"
// becomes "auth-int", else one holding "auth" becomes "auth", and a qop gets
// a new cnonce of eight lowercase hexadecimal digits from the system's random
// source. Other schemes leave the challenge alone. Either way the driver
// clears its Authorization value first. kErrHttp when the random source
// fails.
int ReadDigestChallenge(std::string_view value, DigestChallenge& challenge, std::string& errorText);

// What a request is, for the Digest response.
struct DigestRequest {
  std::string_view verb;
  std::string_view path;
  std::string_view body;  // the PUT body, for qop "auth-int"
};

// The Authorization value: empty when user and password are both empty;
// "Basic " and Base64 of user ":" password; or with authDigest, once a
// challenge with a nonce is known and the user is not empty, "Digest " and
// username, realm, nonce, uri, algorithm, [qop, nc, cnonce,] response and
// [opaque], every value in double quotes, nc as "%08x" of the nonce count,
// which each Digest value counts up. kErrHttp with its text, value empty, for
// a user or password holding a control byte and for a qop other than "auth"
// and "auth-int" ("Digest authentication error: unknown qop value.").
int ComputeAuthorization(TAuthScheme scheme, std::string_view user, std::string_view password,
                         DigestChallenge& challenge, const DigestRequest& request, std::string& value,
                         std::string& errorText);

// The Proxy-Authorization value for ProxyUser and ProxyPassword: "Basic "
// and Base64 of user ":" password, empty when both are empty. kErrHttp for a
// control byte in either.
int ComputeProxyAuthorization(std::string_view user, std::string_view password, std::string& value,
                              std::string& errorText);

}  // namespace rssvane
