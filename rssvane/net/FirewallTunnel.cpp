#include "net/FirewallTunnel.h"

#include "net/TcpConnection.h"

namespace rssvane {

void FirewallTunnel::ConnectCompleted(int error) {
  negotiating_ = false;
  owner_.OnConnected(error);
}

void FirewallTunnel::Received(std::string_view bytes) { owner_.AppendReceived(bytes); }

void FirewallTunnel::Disconnected(int error) {
  negotiating_ = false;
  owner_.OnDisconnected(error);
}

bool FirewallTunnel::Ready() const noexcept { return owner_.connected_ && !negotiating_; }

}  // namespace rssvane
