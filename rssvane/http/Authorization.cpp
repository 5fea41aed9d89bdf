#include "http/Authorization.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdio>

#include "base/AsciiText.h"
#include "base/Base64.h"
#include "base/Codes.h"
#include "base/Md5.h"
#include "http/HttpText.h"

namespace rssvane {

namespace {

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

// A client nonce the server cannot predict, unlike one made from a clock.
int MakeCnonce(std::string& cnonce, std::string& errorText) {
  unsigned char bytes[4];
  ssize_t got;
  do {
    got = getrandom(bytes, sizeof bytes, 0);
  } while (got < 0 && errno == EINTR);
  if (got != static_cast<ssize_t>(sizeof bytes)) {
    errorText = "Digest authentication error: the system's random source failed.";
    return kErrHttp;
  }
  char hex[9];
  std::snprintf(hex, sizeof hex, "%02x%02x%02x%02x", bytes[0], bytes[1], bytes[2], bytes[3]);
  cnonce = hex;
  return kOk;
}

int CheckCredentials(std::string_view user, std::string_view password, std::string_view userName,
                     std::string_view passwordName, std::string& errorText) {
  if (int rc = RefuseControlBytes(user, userName, errorText)) return rc;
  return RefuseControlBytes(password, passwordName, errorText);
}

std::string BasicValue(std::string_view user, std::string_view password) {
  std::string pair(user);
  pair += ':';
  pair += password;
  return "Basic " + Base64Encode(pair);
}

void AppendParameter(std::string& out, std::string_view name, std::string_view value) {
  out += name;
  out += "=\"";
  out += value;
  out += '"';
}

}  // namespace

int ReadDigestChallenge(std::string_view value, DigestChallenge& challenge, std::string& errorText) {
  size_t blank = value.find(' ');
  if (!EqualsIgnoreCase(value.substr(0, blank), "Digest")) return kOk;
  challenge.Reset();
  std::string_view rest = blank == std::string_view::npos ? std::string_view() : value.substr(blank + 1);
  for (;;) {
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t' || rest.front() == ',')) {
      rest.remove_prefix(1);
    }
    size_t equals = rest.find('=');
    if (equals == std::string_view::npos) break;
    std::string_view name = rest.substr(0, equals);
    rest.remove_prefix(equals + 1);
    std::string_view parameter;
    if (rest.starts_with('"')) {
      size_t quote = rest.find('"', 1);
      parameter = rest.substr(1, quote == std::string_view::npos ? std::string_view::npos : quote - 1);
      rest = quote == std::string_view::npos ? std::string_view() : rest.substr(quote + 1);
    } else {
      size_t comma = rest.find(',');
      parameter = rest.substr(0, comma);
      rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma);
    }
    if (EqualsIgnoreCase(name, "realm")) {
      challenge.realm = parameter;
    } else if (EqualsIgnoreCase(name, "qop")) {
      challenge.qop = parameter;
    } else if (EqualsIgnoreCase(name, "algorithm")) {
      challenge.algorithm = parameter;
    } else if (EqualsIgnoreCase(name, "nonce")) {
      challenge.nonce = parameter;
    } else if (EqualsIgnoreCase(name, "opaque")) {
      challenge.opaque = parameter;
    } else if (EqualsIgnoreCase(name, "stale")) {
      challenge.stale = EqualsIgnoreCase(parameter, "true");
    }
  }
  if (Contains(challenge.qop, "auth-int")) {
    challenge.qop = "auth-int";
  } else if (Contains(challenge.qop, "auth")) {
    challenge.qop = "auth";
  }
  if (!challenge.qop.empty()) return MakeCnonce(challenge.cnonce, errorText);
  return kOk;
}

int ComputeAuthorization(TAuthScheme scheme, std::string_view user, std::string_view password,
                         DigestChallenge& challenge, const DigestRequest& request, std::string& value,
                         std::string& errorText) {
  value.clear();
  if (user.empty() && password.empty()) return kOk;
  if (int rc = CheckCredentials(user, password, "User", "Password", errorText)) return rc;
  if (scheme != authDigest) {
    value = BasicValue(user, password);
    return kOk;
  }
  if (challenge.nonce.empty() || user.empty()) return kOk;
  const DigestChallenge& c = challenge;
  bool withQop = !c.qop.empty();
  if (withQop && c.qop != "auth" && c.qop != "auth-int") {
    errorText = "Digest authentication error: unknown qop value.";
    return kErrHttp;
  }
  char nc[9] = {};
  if (withQop) std::snprintf(nc, sizeof nc, "%08x", ++challenge.nonceCount);

  std::string a1;
  bool sess = EqualsIgnoreCase(c.algorithm, "MD5-sess");
  if (sess || EqualsIgnoreCase(c.algorithm, "MD5")) {
    a1.append(user).append(":").append(c.realm).append(":").append(password);
    if (sess) a1 = Md5::Hex(a1) + ":" + c.nonce + ":" + c.cnonce;
  }
  std::string a2(request.verb);
  a2.append(":").append(request.path);
  if (c.qop == "auth-int") a2.append(":").append(Md5::Hex(request.body));
  std::string middle = c.nonce + ":";
  if (withQop) middle.append(nc).append(":").append(c.cnonce).append(":").append(c.qop).append(":");
  std::string response = Md5::Hex(Md5::Hex(a1) + ":" + middle + Md5::Hex(a2));

  value = "Digest ";
  AppendParameter(value, "username", user);
  AppendParameter(value, ", realm", c.realm);
  AppendParameter(value, ", nonce", c.nonce);
  AppendParameter(value, ", uri", request.path);
  AppendParameter(value, ", algorithm", c.algorithm);
  if (withQop) {
    AppendParameter(value, ", qop", c.qop);
    AppendParameter(value, ", nc", nc);
    AppendParameter(value, ", cnonce", c.cnonce);
  }
  AppendParameter(value, ", response", response);
  if (!c.opaque.empty()) AppendParameter(value, ", opaque", c.opaque);
  return kOk;
}

int ComputeProxyAuthorization(std::string_view user, std::string_view password, std::string& value,
                              std::string& errorText) {
  value.clear();
  if (user.empty() && password.empty()) return kOk;
  if (int rc = CheckCredentials(user, password, "ProxyUser", "ProxyPassword", errorText)) return rc;
  value = BasicValue(user, password);
  return kOk;
}

}  // namespace rssvane
