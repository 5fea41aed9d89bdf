#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "net/ComponentEvents.h"
#include "net/TcpConnection.h"
#include "rssvane/MessageLoop.h"

namespace rssvane {

// Every event as one line of text, in the order fired.
class EventLog : public ComponentEvents {
 public:
  std::vector<std::string> lines;

  bool Has(std::string_view line) const {
    for (const std::string& l : lines) {
      if (l == line) return true;
    }
    return false;
  }

  void FireConnected(int16_t& code, std::string& text) override { Add("Connected " + std::to_string(code) + " " + text); }
  void FireConnectionStatus(std::string& event, int16_t& code, std::string& text) override {
    Add("ConnectionStatus " + event + " " + std::to_string(code) + " " + text);
  }
  void FireDisconnected(int16_t& code, std::string& text) override {
    Add("Disconnected " + std::to_string(code) + " " + text);
  }
  void FireEndTransfer() override { Add("EndTransfer"); }
  void FireError(int16_t& code, std::string& text) override { Add("Error " + std::to_string(code) + " " + text); }
  void FireHeader(std::string&, std::string&) override { Add("Header"); }
  void FireRedirect(std::string&, bool&) override { Add("Redirect"); }
  void FireSetCookie(std::string&, std::string&, std::string&, std::string&, std::string&, bool&) override {
    Add("SetCookie");
  }
  void FireStartTransfer() override { Add("StartTransfer"); }
  void FireStatus(std::string&, int16_t&, std::string&) override { Add("Status"); }
  void FireTransfer(int32_t&, std::string&) override { Add("Transfer"); }

  void Add(std::string line) {
    lines.push_back(std::move(line));
    if (onEvent) onEvent(lines.back());
  }

  // Called after each line is added.
  std::function<void(const std::string&)> onEvent;
};

// A connection whose data goes into the event log, "Data text|1" for a line
// and "Data text|0" for a piece, with a hook for each delivery.
class Client : public TcpConnection {
 public:
  explicit Client(EventLog& log) : log_(log) { SetEvents(&log); }

  std::function<void(std::string_view)> onData;
  using TcpConnection::HandleMessage;

 protected:
  void DataIn(std::string_view bytes, bool terminated) override {
    log_.Add("Data " + std::string(bytes) + (terminated ? "|1" : "|0"));
    if (onData) onData(bytes);
  }

 private:
  EventLog& log_;
};

// Points c at remoteHost:remotePort through a firewall of that type on
// 127.0.0.1:firewallPort.
inline void Through(TcpConnection& c, TFirewallType type, uint16_t firewallPort, std::string_view remoteHost,
                    int32_t remotePort, std::string_view user = "", std::string_view password = "") {
  FirewallTunnel& firewall = c.Firewall();
  firewall.SetType(type);
  ASSERT_EQ(firewall.SetHost("127.0.0.1"), 0);
  ASSERT_EQ(firewall.SetPort(firewallPort), 0);
  ASSERT_EQ(firewall.SetUser(user), 0);
  ASSERT_EQ(firewall.SetPassword(password), 0);
  ASSERT_EQ(c.SetRemoteHost(remoteHost), 0);
  ASSERT_EQ(c.SetRemotePort(remotePort), 0);
}

inline bool Logged(const EventLog& log, std::string_view start) {
  for (const std::string& l : log.lines) {
    if (l.starts_with(start)) return true;
  }
  return false;
}

inline bool Disconnected(const EventLog& log) { return Logged(log, "Disconnected"); }
// Whether the connection has reported its outcome: made, or failed.
inline bool ConnectReported(const EventLog& log) { return Logged(log, "Connected "); }

// Serves the queue until done(), for at most about 5 seconds.
template <typename Done>
bool PumpUntil(Done done) {
  SocketObject waiter;
  waiter.SetTimeoutSeconds(5);
  waiter.ArmDeadline();
  return waiter.WaitUntil(done) == 0;
}

// A 127.0.0.1 port where nothing listens, held bound (not listening) for
// as long as this lives: connecting to it is refused, and no server of a
// test running at the same time, nor a client's own ephemeral port, can
// take it meanwhile.
class ClosedPort {
 public:
  ClosedPort() : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    ::bind(socket_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(socket_, reinterpret_cast<sockaddr*>(&a), &length);
    port_ = ntohs(a.sin_port);
  }
  ~ClosedPort() { ::close(socket_); }
  ClosedPort(const ClosedPort&) = delete;
  ClosedPort& operator=(const ClosedPort&) = delete;
  uint16_t Port() const { return port_; }

 private:
  int socket_;
  uint16_t port_ = 0;
};

inline size_t OpenDescriptors() {
  size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

}  // namespace rssvane
