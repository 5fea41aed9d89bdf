#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/GrowString.h"
#include "net/FirewallNegotiator.h"
#include "rssvane/RSSTypes.h"

namespace rssvane {

class TcpConnection;

// What lies between a TcpConnection's socket and the layers above it. With
// a firewall set (an HTTP proxy that tunnels with CONNECT, a SOCKS4 or a
// SOCKS5 server) the connection goes to the firewall host; once the socket
// connects, the tunnel asks the firewall for the remote host, reads its
// reply from the raw received bytes (FirewallNegotiator) and only then
// reports the connection as made. Without one (fwNone) everything passes
// straight through.
//
// The owner drives it:
// - Connecting(): a connect is starting; the firewall type set now is the
//   one this connection goes through.
// - ConnectCompleted(error): from FD_CONNECT; starts the negotiation, or
//   reports the connection (or its failure) to the owner's OnConnected.
// - Negotiating(): the firewall has not answered yet; the read pass then
//   hands the raw bytes to Received instead of the line buffer.
// - Received(bytes): raw bytes while negotiating; what follows the reply
//   goes into the owner's line buffer.
// - FirewallClosed(): the firewall closed or broke the connection while
//   negotiating.
// - Disconnected(error): the connection is gone; reports it to the owner's
//   OnDisconnected.
// A failed negotiation fires Error and Connected with 118 and its text and
// closes the connection; until it is closed, Refused() holds and nothing
// the firewall sends goes up.
class FirewallTunnel {
 public:
  // The most bytes a SOCKS field can count: longer user names and
  // passwords are cut to this when set.
  static constexpr size_t kMaxCredentialLength = 255;

  explicit FirewallTunnel(TcpConnection& owner) noexcept : owner_(owner) {}

  TFirewallType Type() const noexcept { return type_; }
  // Also sets the port to the usual one of the kind: 1080 for SOCKS, 80
  // otherwise. The caller keeps the type within the enumeration.
  void SetType(TFirewallType type) noexcept;
  // Resolved at once: 0, or the look-up's code with the owner's last error
  // (the address is then 0). Empty clears it.
  int SetHost(std::string_view host) noexcept;
  uint32_t Address() const noexcept { return address_; }
  // The address in dotted form, or empty when there is none.
  std::string HostText() const;
  int32_t Port() const noexcept { return port_; }
  // 0 to 65535: 0, or 116 with the owner's last error.
  int SetPort(int32_t port) noexcept;
  std::string_view User() const noexcept { return user_.View(); }
  int SetUser(std::string_view user) noexcept;
  std::string_view Password() const noexcept { return password_.View(); }
  int SetPassword(std::string_view password) noexcept;
  // Stored for hosts that set it; no layer uses it.
  int SetFirewallData(std::string_view data) noexcept { return firewallData_.Assign(data); }

  // The next connections go through an HTTP proxy with CONNECT instead of
  // the firewall set (the firewall's settings stay as they are), sending
  // authorization as the Proxy-authorization value when it is not empty:
  // how an https request reaches its ProxyServer. The host is resolved at
  // once: 0, or the look-up's code with the owner's last error. An empty
  // host goes back to the firewall set.
  int SetProxy(std::string_view host, int32_t port, std::string_view authorization);
  // Whether connections go to a firewall or a proxy rather than the remote
  // host, and which address and port.
  bool Routed() const noexcept { return proxyAddress_ != 0 || type_ != fwNone; }
  uint32_t RouteAddress() const noexcept { return proxyAddress_ != 0 ? proxyAddress_ : address_; }
  int32_t RoutePort() const noexcept { return proxyAddress_ != 0 ? proxyPort_ : port_; }

  void Connecting() noexcept;
  void ConnectCompleted(int error);
  bool Negotiating() const noexcept { return state_ == State::kNegotiating; }
  // False when the read pass must end: the negotiation goes on, failed, or
  // a handler closed the connection.
  bool Received(std::string_view bytes);
  void FirewallClosed();
  void Disconnected(int error);
  bool Refused() const noexcept { return state_ == State::kRefused; }
  // Connected and the stream open: the condition for sending request data.
  bool Ready() const noexcept;

 private:
  enum class State { kIdle, kNegotiating, kOpen, kRefused };

  // Carries out what the negotiator asked for; true when the stream is
  // open and the connection it was asked for is still there.
  bool Act(const FirewallStep& step);
  void Refuse(int code, std::string_view text);
  void Report(std::string_view status, int code);
  // Whether the connection a handler might have closed or replaced is still
  // the one that was under way.
  bool Still(uint32_t connection) const noexcept;

  TcpConnection& owner_;
  TFirewallType type_ = fwNone;
  TFirewallType connectionType_ = fwNone;  // what the current connection goes through
  uint32_t address_ = 0;                   // network order
  int32_t port_ = 80;
  GrowString user_;
  GrowString password_;
  GrowString firewallData_;
  uint32_t proxyAddress_ = 0;  // network order; 0: no proxy
  int32_t proxyPort_ = 0;
  std::string proxyAuthorization_;
  State state_ = State::kIdle;
  FirewallNegotiator negotiator_;
};

}  // namespace rssvane
