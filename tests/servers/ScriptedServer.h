#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vk_test {

// Bytes given by their values, for the binary protocols a script speaks.
inline std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

// A TCP server on 127.0.0.1 (an ephemeral port) for network tests that need
// exact bytes or a misbehaving peer. It accepts connections one after the
// other on its own thread and runs a script on each; every step is bounded
// in time, and the server stops within a step's slice when destroyed.
class ScriptedServer {
 public:
  class Script {
   public:
    Script& Send(std::string bytes);
    // Waits ms, reading nothing.
    Script& Pause(int ms);
    // Reads until count bytes have arrived, the peer closes, or ms pass.
    Script& Receive(size_t count, int ms);
    // Reads until the peer closes or ms pass.
    Script& ReceiveUntilClosed(int ms);
    Script& Close();  // a graceful close
    Script& Reset();  // SO_LINGER 0: the peer gets a reset

   private:
    friend class ScriptedServer;
    enum class Kind { kSend, kPause, kReceive, kClose, kReset };
    struct Step {
      Kind kind;
      std::string bytes;
      int ms = 0;
      size_t count = 0;
    };
    std::vector<Step> steps_;
  };

  // Connection n runs scripts[n], and every connection after the last one
  // runs the last script. A script that ends without closing closes
  // gracefully; no script at all closes each connection at once.
  explicit ScriptedServer(std::vector<Script> scripts);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  uint16_t Port() const { return port_; }
  // Connections accepted so far, and those whose script has ended.
  int Connections() const { return accepted_.load(); }
  int Finished() const { return finished_.load(); }
  // Waits up to ms for n scripts to end.
  bool WaitFinished(int n, int ms) const;
  // What the Receive steps of connection n read.
  std::string Received(int n) const;

 private:
  void Serve();
  void Run(int fd, const Script& script, std::string& received);
  bool Stopping() const { return stop_.load(); }

  std::vector<Script> scripts_;
  int listener_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> accepted_{0};
  std::atomic<int> finished_{0};
  mutable std::mutex mutex_;
  std::vector<std::string> received_;
  std::thread thread_;
};

}  // namespace vk_test
