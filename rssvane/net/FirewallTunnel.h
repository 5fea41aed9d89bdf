#pragma once

#include <cstddef>
#include <string_view>

#include "base/GrowString.h"

namespace rssvane {

class TcpConnection;

// What lies between a TcpConnection's socket and the layers above it. With
// a firewall it negotiates the tunnel once the socket connects, reading the
// firewall's reply from the raw received bytes, and only then reports the
// connection as made. Without one (fwNone, the only kind so far) everything
// passes straight through:
// - ConnectCompleted(error): from FD_CONNECT; reports the connection (or
//   its failure) to the owner's OnConnected.
// - Negotiating(): the firewall has not answered yet; the read pass then
//   hands the raw bytes to Received instead of the line buffer.
// - Received(bytes): raw bytes while negotiating; what follows the reply
//   goes into the owner's line buffer (TcpConnection::AppendReceived).
// - Disconnected(error): the connection is gone; reports it to the owner's
//   OnDisconnected.
// - Ready(): connected and out of negotiation, the condition for sending
//   request data. The negotiation itself sends with TcpConnection::Send
//   without requiring it.
class FirewallTunnel {
 public:
  explicit FirewallTunnel(TcpConnection& owner) noexcept : owner_(owner) {}

  void ConnectCompleted(int error);
  bool Negotiating() const noexcept { return negotiating_; }
  void Received(std::string_view bytes);
  void Disconnected(int error);
  bool Ready() const noexcept;

  // Stored for hosts that set it; no layer uses it.
  int SetFirewallData(std::string_view data) noexcept { return firewallData_.Assign(data); }

 private:
  TcpConnection& owner_;
  bool negotiating_ = false;
  GrowString firewallData_;
};

}  // namespace rssvane
