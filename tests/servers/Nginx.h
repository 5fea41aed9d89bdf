#pragma once

// nginx from the system's package on a free 127.0.0.1 port, set up for the
// HTTP client's interoperability tests. Every document written with
// WriteDocument is served under each of these paths:
//
//   /NAME            static, with Content-Length, Last-Modified and ETag;
//                    304 for If-None-Match with that ETag or If-Modified-Since
//                    at or after the file's time
//   /chunked/NAME    the same bytes, chunked for HTTP/1.1 requests (through
//                    server-side includes, which drop the length; a "<!--#"
//                    in the document would be read as an include)
//   /gzip/NAME       gzip-compressed when the request accepts it (gzip is off
//                    everywhere else), also through proxies and for HTTP/1.0
//   /basic/NAME      Basic authentication, realm "vk-test", the options' accounts
//   /cookies/NAME    answers carry the options' Set-Cookie headers
//   /dav/NAME        also takes PUT, making missing folders (201 for a new
//                    document, 204 for a replaced one)
//
// Redirects: /301/REST answers 301 to /REST, and likewise 302, 307 and 308,
// so /301/302/307/308/feed.xml is a chain of four ending at /feed.xml;
// /loop/a and /loop/b redirect to each other for ever. Each Location is
// absolute, with the host and port the request was sent to (a test's own
// location with `absolute_redirect off;` sends a relative one). Keep-alive
// is on.
// With a certificate a second port speaks TLS, serving the same paths.
// The access log records each request with the number of its connection.

#include <chrono>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "ServerProcess.h"

namespace vk::test {

struct NginxOptions {
  // Both given: TlsPort() speaks TLS with this certificate (chain) and key.
  std::string tlsCertificate = {};
  std::string tlsKey = {};
  std::vector<Account> basicAccounts = {{"alice", "wonderland"}};
  // Set-Cookie values of /cookies/, one header each, in this order.
  std::vector<std::string> cookies = {"session=abc123; Path=/", "theme=dark; Path=/cookies/; HttpOnly"};
  // Directives added to the server block, for example a test's own
  // `location = /x { return 418; }` blocks.
  std::string serverConfig = {};
};

// One line of the access log.
struct NginxRequest {
  long connection = 0;          // nginx's serial number of the connection
  int requestOnConnection = 0;  // 1 for the first request on that connection
  std::string scheme;           // "http" or "https"
  std::string method;
  std::string uri;  // as the request line had it, query included
  std::string protocol;
  int status = 0;
  long bodyBytes = 0;  // sent in the answer's body
  // Request headers, empty when absent.
  std::string host, authorization, proxyAuthorization, cookie, userAgent;
  std::string ifModifiedSince, ifNoneMatch, acceptEncoding, via;
};

class Nginx {
 public:
  explicit Nginx(NginxOptions options = {});

  int Port() const { return port_; }
  int TlsPort() const { return tlsPort_; }  // 0 without a certificate
  // `path` starts with "/".
  std::string Url(std::string_view path) const;
  std::string TlsUrl(std::string_view path, std::string_view host = "localhost") const;

  // A document under the root (relative, folders made as needed); returns its file.
  std::string WriteDocument(std::string_view relative, std::string_view content) const;
  void SetModified(std::string_view relative, std::time_t when) const;
  // What a PUT left there; empty when there is nothing.
  std::string ReadDocument(std::string_view relative) const;

  std::vector<NginxRequest> AccessLog() const;
  // nginx logs a request once its answer is out, so a client may be done
  // before the line is there: waits (bounded) for at least `count` lines.
  std::vector<NginxRequest> WaitForAccessLog(size_t count,
                                             std::chrono::milliseconds limit = std::chrono::seconds(5)) const;
  std::string ErrorLog() const;

 private:
  ServerProcess::Launch Prepare();
  std::string Config() const;

  NginxOptions options_;
  ServerFolder folder_;
  int port_ = 0;
  int tlsPort_ = 0;
  ServerProcess process_;
};

// How many connections the requests came on.
size_t CountConnections(const std::vector<NginxRequest>& requests);

}  // namespace vk::test
