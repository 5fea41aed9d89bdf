#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rssvane {

// What one request line and header block is built from.
struct RequestFields {
  std::string_view verb;  // "GET" or "PUT"
  std::string_view scheme;
  std::string_view host;
  int32_t port = 80;
  std::string_view path;
  std::string_view httpVersion;  // the text after "HTTP/"
  bool viaProxy = false;         // ProxyServer is set: absolute form, Proxy-Authorization
  bool keepAlive = false;
  std::string_view authorization;
  std::string_view proxyAuthorization;
  std::string_view accept;
  std::string_view userAgent;
  std::string_view ifModifiedSince;
  std::string_view acceptEncoding;
  std::string_view ifNoneMatch;
};

// The request text, to the byte: the request line (through a proxy the
// target is scheme "://" host, ":" port unless it is the scheme's own, and
// the path), Host (":" port likewise), then Authorization,
// Proxy-Authorization (only through a proxy, so proxy credentials never
// reach the server itself), Accept, Accept-Encoding, User-Agent,
// If-Modified-Since and If-None-Match when not empty, "Connection: close"
// without keep-alive, each line ended by CR LF; with withBlankLine the empty
// line follows. The scheme's own port is 443 for https and 80 for any other. A PUT is sent without it and continues with
// ContentLengthBlock. kErrHttp with its text, and out empty, when any field
// holds a control byte: nothing a caller or a server's challenge passes in
// can add a line to the request.
int BuildRequest(const RequestFields& fields, bool withBlankLine, std::string& out, std::string& errorText);

// "Content-Length: N\r\n\r\n", which ends the header block of a PUT.
std::string ContentLengthBlock(uint64_t bodyLength);

}  // namespace rssvane
