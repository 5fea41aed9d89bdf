#include "ScriptedServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
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

// How many more bytes make text a whole request: its header block (read a
// byte at a time, so that nothing after the request is taken) and as many
// bytes of body as its Content-Length names.
size_t RequestBytesWanted(std::string_view text) {
  size_t end = text.find("\r\n\r\n");
  if (end == std::string_view::npos) return 1;
  constexpr std::string_view kLength = "\r\ncontent-length:";
  size_t body = 0;
  for (size_t at = text.find("\r\n"); at < end; at = text.find("\r\n", at + 2)) {
    std::string_view line = text.substr(at, kLength.size());
    bool match = line.size() == kLength.size();
    for (size_t i = 0; match && i < line.size(); ++i) {
      match = std::tolower(static_cast<unsigned char>(line[i])) == kLength[i];
    }
    if (match) body = std::strtoul(std::string(text.substr(at + kLength.size(), 20)).c_str(), nullptr, 10);
  }
  size_t whole = end + 4 + body;
  return text.size() < whole ? whole - text.size() : 0;
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

ScriptedServer::Script& ScriptedServer::Script::Answer(std::function<std::string(const std::string&)> reply, int ms) {
  steps_.push_back({Kind::kAnswer, {}, ms, 0, std::move(reply)});
  return *this;
}

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
      case Script::Kind::kSend:
        SendAll(fd, step.bytes);
        break;
      case Script::Kind::kPause: {
        Clock::time_point end = Clock::now() + std::chrono::milliseconds(step.ms);
        while (!Stopping() && Clock::now() < end) {
          std::this_thread::sleep_for(std::chrono::milliseconds(std::min(kSliceMs, MsLeft(end) + 1)));
        }
        break;
      }
      case Script::Kind::kReceive: {
        const size_t start = received.size();
        ReceiveWhile(fd, step.ms, received, [&](const std::string& r) { return step.count - (r.size() - start); });
        break;
      }
      case Script::Kind::kAnswer: {
        const size_t start = received.size();
        ReceiveWhile(fd, step.ms, received,
                     [&](const std::string& r) { return RequestBytesWanted(std::string_view(r).substr(start)); });
        SendAll(fd, step.reply(received.substr(start)));
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

void ScriptedServer::SendAll(int fd, const std::string& bytes) {
  size_t sent = 0;
  Clock::time_point end = Clock::now() + std::chrono::milliseconds(kSendLimitMs);
  while (sent < bytes.size() && !Stopping() && Clock::now() < end) {
    ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p{fd, POLLOUT, 0};
      ::poll(&p, 1, kSliceMs);
    } else {
      break;  // the peer is gone
    }
  }
}

void ScriptedServer::ReceiveWhile(int fd, int ms, std::string& received,
                                  const std::function<size_t(const std::string&)>& wanted) {
  Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
  for (size_t most; (most = wanted(received)) > 0 && !Stopping() && Clock::now() < end;) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, std::min(kSliceMs, MsLeft(end))) <= 0) continue;
    char buffer[16384];
    ssize_t n = ::recv(fd, buffer, std::min(sizeof buffer, most), 0);
    if (n <= 0) break;
    received.append(buffer, static_cast<size_t>(n));
  }
}

}  // namespace vk_test
