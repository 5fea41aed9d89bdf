#include "net/FirewallTunnel.h"

#include <array>
#include <cstring>

#include "base/Codes.h"
#include "net/NetCodes.h"
#include "net/TcpConnection.h"

namespace rssvane {

void FirewallTunnel::SetType(TFirewallType type) noexcept {
  type_ = type;
  port_ = type == fwSOCKS4 || type == fwSOCKS5 ? 1080 : 80;
}

int FirewallTunnel::SetHost(std::string_view host) noexcept {
  owner_.ClearError();
  return owner_.ResolveHost(host, address_);
}

std::string FirewallTunnel::HostText() const {
  if (address_ == 0) return {};
  std::array<uint8_t, 4> bytes;
  std::memcpy(bytes.data(), &address_, bytes.size());
  return std::to_string(bytes[0]) + '.' + std::to_string(bytes[1]) + '.' + std::to_string(bytes[2]) + '.' +
         std::to_string(bytes[3]);
}

int FirewallTunnel::SetPort(int32_t port) noexcept {
  owner_.ClearError();
  // A larger number would reach another port once cut to 16 bits.
  if (port < 0 || port > 65535) return owner_.Fail(kErrPortInvalid, "FirewallPort must be a service port number up to 65535.");
  port_ = port;
  return 0;
}

int FirewallTunnel::SetUser(std::string_view user) noexcept {
  owner_.ClearError();
  int rc = user_.Assign(user.substr(0, kMaxCredentialLength));
  return rc ? owner_.Fail(rc, "Out of memory.") : 0;
}

int FirewallTunnel::SetPassword(std::string_view password) noexcept {
  owner_.ClearError();
  int rc = password_.Assign(password.substr(0, kMaxCredentialLength));
  return rc ? owner_.Fail(rc, "Out of memory.") : 0;
}

int FirewallTunnel::SetProxy(std::string_view host, int32_t port, std::string_view authorization) {
  owner_.ClearError();
  proxyAddress_ = 0;
  proxyAuthorization_.clear();
  if (host.empty()) return 0;
  if (port < 1 || port > 65535) return owner_.Fail(kErrPortInvalid, "The ProxyPort is invalid (" + std::to_string(port) + ").");
  uint32_t address = 0;
  if (int rc = owner_.ResolveHost(host, address)) return rc;
  proxyAddress_ = address;
  proxyPort_ = port;
  proxyAuthorization_ = authorization;
  return 0;
}

void FirewallTunnel::Connecting() noexcept {
  connectionType_ = proxyAddress_ != 0 ? fwTunnel : type_;
  state_ = State::kIdle;
}

void FirewallTunnel::ConnectCompleted(int error) {
  if (error != 0) {
    state_ = State::kIdle;
    Report("Firewall connection failed.", error);
    owner_.OnConnected(error);
    return;
  }
  const uint32_t connection = owner_.connection_;
  state_ = State::kNegotiating;
  Report("Firewall connection complete.", 0);
  if (!Still(connection)) return;
  // SOCKS4, and SOCKS5 for a name without "*", send the remote host's
  // address; an empty name has none.
  FirewallResolver resolve = [this](std::string_view host, std::array<uint8_t, 4>& address) {
    uint32_t found = 0;
    if (int rc = owner_.ResolveHost(host, found)) return rc;
    if (found == 0) return static_cast<int>(kWsaHostNotFound);
    std::memcpy(address.data(), &found, address.size());
    return 0;
  };
  const bool viaProxy = proxyAddress_ != 0;
  Act(negotiator_.Start({connectionType_, owner_.RemoteHost(), owner_.RemotePort(), viaProxy ? "" : User(),
                         viaProxy ? "" : Password(), resolve, viaProxy ? proxyAuthorization_ : std::string_view()}));
}

bool FirewallTunnel::Received(std::string_view bytes) { return Act(negotiator_.Data(bytes, false)); }

void FirewallTunnel::FirewallClosed() {
  if (Negotiating()) Act(negotiator_.Closed());
}

void FirewallTunnel::Disconnected(int error) {
  state_ = State::kIdle;
  Report("Firewall host disconnected.", error);
  owner_.OnDisconnected(error);
}

bool FirewallTunnel::Ready() const noexcept { return owner_.connected_ && state_ == State::kOpen; }

bool FirewallTunnel::Act(const FirewallStep& step) {
  const uint32_t connection = owner_.connection_;
  if (!step.send.empty()) {
    // A few hundred bytes into a fresh socket: anything short of all of
    // them is a broken connection.
    if (int rc = owner_.Send(step.send.data(), step.send.size(), false)) {
      Refuse(kErrFirewall, "The firewall request could not be sent: " + DescriptionForCode(rc, {}));
      return false;
    }
  }
  switch (step.outcome) {
    case FirewallStep::Outcome::kNegotiating: return false;
    case FirewallStep::Outcome::kFailed: Refuse(step.code, step.errorText); return false;
    case FirewallStep::Outcome::kCompleted: break;
  }
  // The first bytes of the stream may have come with the reply. They came
  // in one receive into the line buffer's free space, so they fit there;
  // TLS takes at least as many.
  if (!owner_.AppendReceived(step.leftover)) {
    Refuse(kErrFirewall, "The bytes after the firewall's reply do not fit into the line buffer.");
    return false;
  }
  state_ = State::kOpen;
  // With TLS the connection is made once its handshake is done.
  owner_.tls_.TunnelOpen();
  return Still(connection) && state_ == State::kOpen;
}

void FirewallTunnel::Refuse(int code, std::string_view text) {
  const uint32_t connection = owner_.connection_;
  state_ = State::kRefused;
  owner_.Fail(code, text);
  owner_.OnError(code, text);
  if (!Still(connection)) return;
  owner_.OnConnected(code);
  if (Still(connection)) owner_.Disconnect(0);
}

void FirewallTunnel::Report(std::string_view status, int code) {
  if (connectionType_ != fwNone) owner_.FireConnectionStatus(status, code);
}

bool FirewallTunnel::Still(uint32_t connection) const noexcept {
  return owner_.connection_ == connection && owner_.socket_ != kInvalidSocket && !owner_.closePending_;
}

}  // namespace rssvane
