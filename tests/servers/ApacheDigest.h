#pragma once

// Apache httpd from the system's package with mod_auth_digest, on a free
// 127.0.0.1 port, for the HTTP client's Digest authentication tests. Every
// document written with WriteDocument is served at /NAME without
// authentication and at /digest/NAME behind Digest authentication: realm
// "vk-test", algorithm MD5, qop "auth", nonces valid for the options'
// lifetime (an older one is answered with 401 and stale=true).
//
// This Apache cannot do MD5-sess: "AuthDigestAlgorithm MD5-sess" is refused
// as a configuration error, and an answer with algorithm=MD5-sess to its MD5
// challenge is refused with 401 (error AH01789 in its log).

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "ServerProcess.h"

namespace vk::test {

struct ApacheDigestOptions {
  std::vector<Account> accounts = {{"alice", "wonderland"}};
  int nonceLifetimeSeconds = 300;
};

// One line of the access log.
struct ApacheRequest {
  int clientPort = 0;           // tells connections apart
  int requestOnConnection = 0;  // 1 for the first request on its connection
  std::string method;
  std::string uri;  // path and query
  int status = 0;
  std::string user;           // the authenticated user, "-" for none
  std::string authorization;  // the request's header, "-" when absent
};

class ApacheDigest {
 public:
  static constexpr const char* kRealm = "vk-test";

  explicit ApacheDigest(ApacheDigestOptions options = {});

  int Port() const { return port_; }
  std::string Url(std::string_view path) const;  // `path` starts with "/"
  std::string WriteDocument(std::string_view relative, std::string_view content) const;

  std::vector<ApacheRequest> AccessLog() const;
  // Apache logs a request once its answer is out: waits (bounded) for at
  // least `count` lines.
  std::vector<ApacheRequest> WaitForAccessLog(size_t count,
                                              std::chrono::milliseconds limit = std::chrono::seconds(5)) const;
  std::string ErrorLog() const;

 private:
  ServerProcess::Launch Prepare();
  std::string Config() const;

  ApacheDigestOptions options_;
  ServerFolder folder_;
  int port_ = 0;
  ServerProcess process_;
};

}  // namespace vk::test
