#include "http/Url.h"

#include "base/AsciiText.h"
#include "base/Codes.h"
#include "http/HttpText.h"

namespace rssvane {

namespace {

constexpr size_t npos = std::string_view::npos;

int ReadAuthority(std::string_view authority, UrlParts& parts, std::string& errorText) {
  size_t at = authority.find('@');
  size_t colon = authority.find(':');
  if (at != npos && colon != npos && colon < at) colon = authority.find(':', at + 1);
  size_t hostStart = at == npos ? 0 : at + 1;
  if (at != npos) {
    std::string_view userInfo = authority.substr(0, at);
    size_t split = userInfo.find(':');
    parts.user = userInfo.substr(0, split);
    if (split != npos) parts.password = userInfo.substr(split + 1);
  }
  if (colon == npos || colon < hostStart) {
    parts.host = authority.substr(hostStart);
    return kOk;
  }
  parts.host = authority.substr(hostStart, colon - hostStart);
  int64_t port = 0;
  NumberRead read = ReadNumber(authority.substr(colon + 1), 10, port);
  // No digits reads as 0, which keeps the current port, as it always has.
  if (read == NumberRead::kTooLarge || port < 0 || port > 65535) {
    errorText = "Invalid URL: the port is not a number from 0 to 65535.";
    return kErrHttp;
  }
  parts.port = static_cast<int32_t>(port);
  return kOk;
}

// Where the scheme ends: the first ":", unless the text starts with "/".
size_t SchemeEnd(std::string_view text) noexcept { return text.starts_with('/') ? npos : text.find(':'); }

}  // namespace

std::string_view UrlScheme(std::string_view text, std::string_view current) noexcept {
  size_t end = SchemeEnd(text);
  return end == npos ? current : text.substr(0, end);
}

int ParseUrl(std::string_view text, std::string_view startScheme, int32_t startPort, UrlParts& parts,
             std::string& errorText) {
  if (int rc = RefuseControlBytes(text, "URL", errorText)) return rc;
  parts = UrlParts{};
  parts.scheme = startScheme;
  parts.port = startPort;
  std::string_view rest = text;
  if (size_t end = SchemeEnd(text); end != npos) {
    parts.scheme = text.substr(0, end);
    if (EqualsIgnoreCase(parts.scheme, "http")) parts.port = 80;
    if (EqualsIgnoreCase(parts.scheme, "https")) parts.port = 443;
    rest = text.substr(end + 1);
  }
  if (rest.starts_with("//")) {
    rest.remove_prefix(2);
    size_t end = rest.find('/');
    if (end == npos) end = rest.find('?');
    if (int rc = ReadAuthority(rest.substr(0, end), parts, errorText)) return rc;
    if (end != npos) parts.path = rest.substr(end);
  } else if (rest.starts_with('/')) {
    parts.path = rest;
  } else {
    parts.path = "/";
    parts.path += rest;
  }
  if (parts.path.empty()) parts.path = "/";
  return kOk;
}

int UrlTarget::Set(std::string_view text, bool isRedirect, TFollowRedirects follow, bool& disconnect,
                   std::string& errorText) {
  disconnect = false;
  if (text.empty()) {
    url_.clear();
    host_.clear();
    path_.clear();
    user_.clear();
    password_.clear();
    scheme_ = defaultScheme_;
    port_ = defaultPort_;
    return kOk;
  }
  if (isRedirect && text == url_) {
    disconnect = true;
    errorText = "Attempting to redirect to identical URL.  Aborting connection.";
    return kErrHttp;
  }
  std::string_view startScheme = isRedirect ? std::string_view(scheme_) : std::string_view(defaultScheme_);
  int32_t startPort = isRedirect ? port_ : defaultPort_;
  url_ = text;
  UrlParts parts;
  if (int rc = ParseUrl(text, startScheme, startPort, parts, errorText)) {
    disconnect = true;
    return rc;
  }
  path_ = std::move(parts.path);
  if (parts.scheme.empty()) parts.scheme = scheme_;
  if (parts.host.empty()) parts.host = host_;
  if (parts.port == 0) parts.port = port_;
  bool otherServer = !EqualsIgnoreCase(parts.scheme, scheme_) || !EqualsIgnoreCase(parts.host, host_) ||
                     parts.port != port_;
  disconnect = otherServer;
  scheme_ = std::move(parts.scheme);
  host_ = std::move(parts.host);
  port_ = parts.port;
  bool urlCredentials = !parts.user.empty() || !parts.password.empty();
  if (urlCredentials || (isRedirect && (follow != frAlways || otherServer))) {
    user_ = std::move(parts.user);
    password_ = std::move(parts.password);
  }
  return kOk;
}

}  // namespace rssvane
