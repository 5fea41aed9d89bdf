#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include <rssvane/RSSTypes.h>

namespace rssvane {

// Resolves RemoteHost to an IPv4 address in network order: 0, or the socket
// library's code (11001 to 11004).
using FirewallResolver = std::function<int(std::string_view host, std::array<uint8_t, 4>& address)>;

// What one negotiation needs, taken when the socket to the firewall connects.
struct FirewallSettings {
  TFirewallType type = fwNone;
  std::string_view remoteHost;  // as set; for SOCKS5 a leading "*" lets the server resolve the rest
  int32_t remotePort = 0;
  std::string_view user;      // FirewallUser
  std::string_view password;  // FirewallPassword
  FirewallResolver resolve;   // used by SOCKS4, and by SOCKS5 for a host without "*"
  // fwTunnel: a Proxy-authorization value sent as it is, instead of the
  // Basic one made of user and password (an HTTP proxy's own setting).
  std::string_view proxyAuthorization = {};
};

// What the connection does once the negotiator has read its input.
struct FirewallStep {
  enum class Outcome { kNegotiating, kCompleted, kFailed };
  Outcome outcome = Outcome::kNegotiating;
  std::string send;  // send these bytes first (not waiting for the negotiation)
  // kFailed: code 118 and text for the Error event and on connected; the
  // connection is then closed, since nothing it carries could reach the
  // remote host.
  int code = 0;
  std::string errorText;
  // kCompleted: the bytes that followed the reply, the first of the tunnelled
  // stream, for the line buffer; the line terminator goes after them when
  // leftoverEndedByTerminator.
  std::string leftover;
  bool leftoverEndedByTerminator = false;
};

// The most bytes a CONNECT reply may take before its header block ends.
inline constexpr size_t kMaxTunnelReplyBytes = 16 * 1024;

// The HTTP CONNECT, SOCKS4 and SOCKS5 (RFC 1928, username and password of
// RFC 1929) negotiation, bytes in and actions out.
//
// Driver contract (FirewallTunnel inside TcpConnection): call Start when the
// socket to the firewall connects; while Negotiating(), hand every received
// byte to Data as it comes (any cuts give the same result), and call Closed
// when the firewall closes. Act on each step: send its bytes, then on
// kCompleted report the connection complete and put the leftover into the
// line buffer, on kFailed fire Error with code and text, report the
// connection failed and close it. Nothing in a step refers to the
// negotiator, so a step stays valid after the next call.
class FirewallNegotiator {
 public:
  // fwNone completes at once. A RemoteHost with a control byte (CONNECT), a
  // RemotePort outside 1-65535, a zero byte in a SOCKS4 user, a SOCKS5 user,
  // password or "*" host name longer than the 255 bytes its length byte can
  // count, or a host that cannot be resolved fail with 118 before anything
  // is sent, rather than send a request the firewall would misread.
  FirewallStep Start(const FirewallSettings& settings);
  // Outside a negotiation (fwNone, or once it ended) the bytes are the
  // stream's: they come back untouched as the leftover.
  FirewallStep Data(std::string_view bytes, bool endedByTerminator);
  // The firewall closed the connection: a negotiation under way fails.
  FirewallStep Closed();
  bool Negotiating() const noexcept { return negotiating_; }

 private:
  enum class Socks5Step { kMethod, kAuthentication, kRequest };

  void ReadTunnelReply(FirewallStep& step);
  void ReadSocks4Reply(FirewallStep& step);
  void ReadSocks5Reply(FirewallStep& step);
  bool SendSocks5Request(FirewallStep& step);
  bool Resolve(std::array<uint8_t, 4>& address, FirewallStep& step);
  void Complete(FirewallStep& step, size_t replyLength);
  void Fail(FirewallStep& step, std::string text);

  TFirewallType type_ = fwNone;
  std::string remoteHost_;
  int32_t remotePort_ = 0;
  std::string user_;
  std::string password_;
  std::string proxyAuthorization_;
  FirewallResolver resolve_;
  bool negotiating_ = false;
  bool endedByTerminator_ = false;
  Socks5Step socks5Step_ = Socks5Step::kMethod;
  std::string reply_;  // received and not yet taken
};

}  // namespace rssvane
