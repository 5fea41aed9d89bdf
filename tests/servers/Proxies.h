#pragma once

// Proxies from the system's packages on free 127.0.0.1 ports, for the
// firewall tunnel and proxy tests: each takes clients from 127.0.0.1 only
// and connects to any port.
//
//   Tinyproxy   HTTP proxy: absolute-form requests and CONNECT, optionally
//               behind Basic proxy authentication. Without credentials it
//               answers 407; with wrong ones tinyproxy 1.11 answers 401.
//   Dante       SOCKS4 and SOCKS5 without authentication. Not SOCKS4a: dante
//               1.4 tries to connect to 0.0.0.x. Its user name method checks
//               system accounts; Microsocks takes any user and password.
//   Microsocks  SOCKS5 with a user name and password (RFC 1929).

#include <optional>
#include <string>
#include <vector>

#include "ServerProcess.h"

namespace vk::test {

struct TinyproxyOptions {
  std::optional<Account> basicAuth = {};
  // The port of the first attempt to start, instead of a free one.
  std::optional<int> firstPort = {};
};

class Tinyproxy {
 public:
  explicit Tinyproxy(TinyproxyOptions options = {});
  int Port() const { return port_; }
  std::string Log() const;
  // The request lines it received, for example "CONNECT 127.0.0.1:8080 HTTP/1.1".
  std::vector<std::string> Requests() const;

 private:
  ServerProcess::Launch Prepare();

  TinyproxyOptions options_;
  ServerFolder folder_;
  int port_ = 0;
  ServerProcess process_;
};

class Dante {
 public:
  Dante();
  int Port() const { return port_; }
  // Each tunnel opened and closed is logged.
  std::string Log() const;

 private:
  ServerProcess::Launch Prepare();

  ServerFolder folder_;
  int port_ = 0;
  ServerProcess process_;
};

class Microsocks {
 public:
  explicit Microsocks(Account account = {"alice", "wonderland"});
  int Port() const { return port_; }
  // One line for each connection it makes for a client.
  std::string Log() const;

 private:
  ServerProcess::Launch Prepare();

  Account account_;
  ServerFolder folder_;
  int port_ = 0;
  ServerProcess process_;
};

}  // namespace vk::test
