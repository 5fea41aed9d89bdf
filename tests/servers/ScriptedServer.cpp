#include "ScriptedServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace vk_test {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSliceMs = 20;
// However a script is written, sending to a peer that does not read ends.
constexpr int kSendLimitMs = 10000;

int MsLeft(Clock::time_point end) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

}  // namespace

ScriptedServer::Script& ScriptedServer::Script::Send(std::string bytes) {
  steps_.push_back({Kind::kSend, std::move(bytes), 0, 0});
  return *this;
}

ScriptedServer::Script& ScriptedServer::Script::Pause(int ms) {
  steps_.push_back({Kind::kPause, {}, ms, 0});
  return *this;
}

ScriptedServer::Script& ScriptedServer::Script::Receive(size_t count, int ms) {
  steps_.push_back({Kind::kReceive, {}, ms, count});
  return *this;
}

ScriptedServer::Script& ScriptedServer::Script::ReceiveUntilClosed(int ms) { return Receive(SIZE_MAX, ms); }

ScriptedServer::Script& ScriptedServer::Script::Close() {
  steps_.push_back({Kind::kClose, {}});
  return *this;
}

ScriptedServer::Script& ScriptedServer::Script::Reset() {
  steps_.push_back({Kind::kReset, {}});
  return *this;
}

ScriptedServer::ScriptedServer(std::vector<Script> scripts) : scripts_(std::move(scripts)) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listener_ < 0) throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 128) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    int error = errno;
    ::close(listener_);
    throw std::runtime_error(std::string("listen on 127.0.0.1: ") + std::strerror(error));
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

ScriptedServer::~ScriptedServer() {
  stop_ = true;
  thread_.join();
  ::close(listener_);
}

bool ScriptedServer::WaitFinished(int n, int ms) const {
  Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
  while (finished_.load() < n) {
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

std::string ScriptedServer::Received(int n) const {
  std::lock_guard lock(mutex_);
  return n >= 0 && static_cast<size_t>(n) < received_.size() ? received_[n] : std::string();
}

void ScriptedServer::Serve() {
  while (!Stopping()) {
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, kSliceMs) <= 0) continue;
    int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) continue;
    int n = accepted_++;
    {
      std::lock_guard lock(mutex_);
      received_.emplace_back();
    }
    std::string received;
    static const Script kCloseAtOnce;
    const Script& script =
        scripts_.empty() ? kCloseAtOnce : scripts_[std::min<size_t>(static_cast<size_t>(n), scripts_.size() - 1)];
    Run(fd, script, received);
    {
      std::lock_guard lock(mutex_);
      received_[n] = std::move(received);
    }
    ++finished_;
  }
}

void ScriptedServer::Run(int fd, const Script& script, std::string& received) {
  for (const Script::Step& step : script.steps_) {
    if (Stopping()) break;
    switch (step.kind) {
      case Script::Kind::kSend: {
        size_t sent = 0;
        Clock::time_point end = Clock::now() + std::chrono::milliseconds(kSendLimitMs);
        while (sent < step.bytes.size() && !Stopping() && Clock::now() < end) {
          ssize_t n = ::send(fd, step.bytes.data() + sent, step.bytes.size() - sent, MSG_NOSIGNAL);
          if (n > 0) {
            sent += static_cast<size_t>(n);
          } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, kSliceMs);
          } else {
            break;  // the peer is gone
          }
        }
        break;
      }
      case Script::Kind::kPause: {
        Clock::time_point end = Clock::now() + std::chrono::milliseconds(step.ms);
        while (!Stopping() && Clock::now() < end) {
          std::this_thread::sleep_for(std::chrono::milliseconds(std::min(kSliceMs, MsLeft(end) + 1)));
        }
        break;
      }
      case Script::Kind::kReceive: {
        Clock::time_point end = Clock::now() + std::chrono::milliseconds(step.ms);
        size_t got = 0;
        while (got < step.count && !Stopping() && Clock::now() < end) {
          pollfd p{fd, POLLIN, 0};
          if (::poll(&p, 1, std::min(kSliceMs, MsLeft(end))) <= 0) continue;
          char buffer[16384];
          ssize_t n = ::recv(fd, buffer, std::min(sizeof buffer, step.count - got), 0);
          if (n <= 0) break;
          received.append(buffer, static_cast<size_t>(n));
          got += static_cast<size_t>(n);
        }
        break;
      }
      case Script::Kind::kClose:
        ::close(fd);
        return;
      case Script::Kind::kReset: {
        linger abortive{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        ::close(fd);
        return;
      }
    }
  }
  ::close(fd);
}

}  // namespace vk_test
