#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
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
    // Reads a request up to the end of its header block (and a body as long
    // as its Content-Length says), at most ms, then sends what reply makes
    // of it: a server that answers by what it was sent.
    Script& Answer(std::function<std::string(const std::string& request)> reply, int ms);
    Script& Close();  // a graceful close
    Script& Reset();  // SO_LINGER 0: the peer gets a reset

   private:
    friend class ScriptedServer;
    enum class Kind { kSend, kPause, kReceive, kAnswer, kClose, kReset };
    struct Step {
      Kind kind;
      std::string bytes;
      int ms = 0;
      size_t count = 0;
      std::function<std::string(const std::string&)> reply = {};
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
  void SendAll(int fd, const std::string& bytes);
  // Reads while wanted(received), the most bytes the next read may take,
  // is not 0, until the peer closes or ms pass.
  void ReceiveWhile(int fd, int ms, std::string& received,
                    const std::function<size_t(const std::string&)>& wanted);
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
