#include "http/Request.h"

#include <utility>

#include "base/AsciiText.h"
#include "base/Codes.h"
#include "http/HttpText.h"

namespace rssvane {

namespace {

int CheckFields(const RequestFields& f, std::string& errorText) {
  const std::pair<std::string_view, std::string_view> checked[] = {
      {f.verb, "verb"},
      {f.scheme, "URL"},
      {f.host, "URL"},
      {f.path, "URL"},
      {f.httpVersion, "HTTPVersion"},
      {f.authorization, "Authorization value"},
      {f.proxyAuthorization, "ProxyAuthorization"},
      {f.accept, "Accept"},
      {f.userAgent, "UserAgent"},
      {f.ifModifiedSince, "IfModifiedSince"},
      {f.acceptEncoding, "AcceptEncoding"},
      {f.ifNoneMatch, "IfNoneMatch"},
  };
  for (const auto& [value, what] : checked) {
    if (int rc = RefuseControlBytes(value, what, errorText)) return rc;
  }
  return kOk;
}

void AppendHeader(std::string& out, std::string_view name, std::string_view value) {
  if (value.empty()) return;
  out += "\r\n";
  out += name;
  out += ": ";
  out += value;
}

}  // namespace

int BuildRequest(const RequestFields& f, bool withBlankLine, std::string& out, std::string& errorText) {
  out.clear();
  if (int rc = CheckFields(f, errorText)) return rc;
  const int32_t ownPort = EqualsIgnoreCase(f.scheme, "https") ? 443 : 80;
  std::string port = f.port == ownPort ? std::string() : ":" + std::to_string(f.port);
  out += f.verb;
  out += ' ';
  if (f.viaProxy) {
    out += f.scheme;
    out += "://";
    out += f.host;
    out += port;
  }
  out += f.path;
  out += " HTTP/";
  out += f.httpVersion;
  out += "\r\nHost: ";
  out += f.host;
  out += port;
  AppendHeader(out, "Authorization", f.authorization);
  if (f.viaProxy) AppendHeader(out, "Proxy-Authorization", f.proxyAuthorization);
  AppendHeader(out, "Accept", f.accept);
  AppendHeader(out, "Accept-Encoding", f.acceptEncoding);
  AppendHeader(out, "User-Agent", f.userAgent);
  AppendHeader(out, "If-Modified-Since", f.ifModifiedSince);
  AppendHeader(out, "If-None-Match", f.ifNoneMatch);
  if (!f.keepAlive) out += "\r\nConnection: close";
  out += "\r\n";
  if (withBlankLine) out += "\r\n";
  return kOk;
}

std::string ContentLengthBlock(uint64_t bodyLength) {
  return "Content-Length: " + std::to_string(bodyLength) + "\r\n\r\n";
}

}  // namespace rssvane
