#include "net/MessageQueue.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>

#include "net/SocketLibrary.h"

namespace rssvane {

MessageQueue& MessageQueue::ForThisThread() {
  thread_local MessageQueue queue;
  return queue;
}

WindowHandle MessageQueue::CreateWindow(MessageTarget* target) {
  WindowHandle handle = nextWindow_++;
  windows_.push_back({handle, target});
  return handle;
}

void MessageQueue::DestroyWindow(WindowHandle window) noexcept {
  std::erase_if(windows_, [window](const Window& w) { return w.handle == window; });
  std::erase_if(registrations_, [window](const Registration& r) { return r.window == window; });
  std::erase_if(messages_, [window](const Message& m) { return m.window == window; });
}

bool MessageQueue::IsWindow(WindowHandle window) const noexcept { return TargetOf(window) != nullptr; }

MessageTarget* MessageQueue::TargetOf(WindowHandle window) const noexcept {
  for (const Window& w : windows_) {
    if (w.handle == window) return w.target;
  }
  return nullptr;
}

void MessageQueue::Post(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  messages_.push_back({window, message, wParam, lParam});
}

void MessageQueue::PostQuit(int exitCode) noexcept {
  quitPosted_ = true;
  quitCode_ = exitCode;
}

bool MessageQueue::TakeQuit(int& exitCode) noexcept {
  if (!quitPosted_) return false;
  quitPosted_ = false;
  exitCode = quitCode_;
  return true;
}

MessageQueue::Pass MessageQueue::DispatchOne() {
  if (messages_.empty()) Collect(0);
  while (!messages_.empty()) {
    Message m = messages_.front();
    messages_.pop_front();
    // The target may be gone by the time it returns: nothing here touches
    // it afterwards.
    if (MessageTarget* target = TargetOf(m.window)) {
      target->Dispatch(m.message, m.wParam, m.lParam);
      return Pass::kDispatched;
    }
  }
  return quitPosted_ ? Pass::kQuit : Pass::kEmpty;
}

size_t MessageQueue::Waiting() {
  if (messages_.empty()) Collect(0);
  return messages_.size();
}

void MessageQueue::Sleep(int ms) {
  if (!messages_.empty() || quitPosted_ || ms <= 0) return;
  Collect(ms);
}

bool MessageQueue::ServeHost() {
  return hook_ == nullptr || hook_(hookContext_);
}

void MessageQueue::SetHostHook(HostEventHook hook, void* context) noexcept {
  hook_ = hook;
  hookContext_ = context;
}

MessageQueue::Registration* MessageQueue::Find(Socket socket) noexcept {
  for (Registration& r : registrations_) {
    if (r.socket == socket) return &r;
  }
  return nullptr;
}

void MessageQueue::Select(Socket socket, WindowHandle window, uint32_t message, uint32_t events) {
  std::erase_if(registrations_, [socket](const Registration& r) { return r.socket == socket; });
  if (events != 0) registrations_.push_back({socket, window, message, events});
}

bool MessageQueue::ConnectStarted(Socket socket, int error) noexcept {
  Registration* r = Find(socket);
  if (!r) return false;
  r->state = State::kConnecting;
  r->connectError = error;
  return true;
}

void MessageQueue::ReadAttempted(Socket socket) noexcept {
  if (Registration* r = Find(socket)) r->readArmed = true;
}

void MessageQueue::SendBlocked(Socket socket) noexcept {
  if (Registration* r = Find(socket)) r->writeWanted = true;
}

void MessageQueue::Forget(Socket socket) noexcept {
  std::erase_if(registrations_, [socket](const Registration& r) { return r.socket == socket; });
  // A new socket may get the same number at once; a notification left over
  // from this one must not reach it.
  std::erase_if(messages_, [socket](const Message& m) {
    return m.message == kSocketNotify && m.wParam == static_cast<uintptr_t>(socket);
  });
}

short MessageQueue::Interest(const Registration& r) const noexcept {
  switch (r.state) {
    case State::kConnecting: return POLLOUT;
    case State::kOpen: {
      short interest = 0;
      if (r.readArmed && (r.events & (kFdRead | kFdClose))) interest |= POLLIN;
      if (r.writeWanted && (r.events & kFdWrite)) interest |= POLLOUT;
      return interest;
    }
    default: return 0;
  }
}

void MessageQueue::Collect(int ms) {
  // Sockets with nothing to report are left out: poll would otherwise keep
  // waking for a hang-up nobody is ready to hear.
  std::vector<pollfd> fds;
  for (const Registration& r : registrations_) {
    if (short interest = Interest(r)) fds.push_back({r.socket, interest, 0});
  }
  if (fds.empty()) {
    if (ms > 0) ::poll(nullptr, 0, ms);
    return;
  }
  int ready = ::poll(fds.data(), fds.size(), ms);
  if (ready <= 0) return;
  for (const pollfd& p : fds) {
    if (p.revents == 0) continue;
    // A handler is not run from here, so the registrations cannot change
    // under the loop; the look-up still guards against a stale entry.
    if (Registration* r = Find(p.fd)) Report(*r, p.revents);
  }
}

void MessageQueue::Report(Registration& r, short revents) {
  if (r.state == State::kConnecting) {
    int error = r.connectError;
    if (error == 0) {
      int soError = 0;
      socklen_t length = sizeof soError;
      if (::getsockopt(r.socket, SOL_SOCKET, SO_ERROR, &soError, &length) != 0) soError = errno;
      error = soError ? SocketErrorOfErrno(soError) : 0;
    }
    r.state = error ? State::kEnded : State::kOpen;
    Notify(r, kFdConnect, error);
    if (error == 0) Notify(r, kFdWrite, 0);
    return;
  }
  if ((revents & (POLLIN | POLLERR | POLLHUP)) && r.readArmed) {
    // Data or the end of the stream: a one-byte peek tells them apart
    // without taking anything.
    char byte;
    ssize_t n = ::recv(r.socket, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0) {
      r.readArmed = false;
      Notify(r, kFdRead, 0);
    } else if (n == 0) {
      r.state = State::kEnded;
      Notify(r, kFdClose, 0);
    } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
      r.state = State::kEnded;
      Notify(r, kFdClose, SocketErrorOfErrno(errno));
    }
  }
  if ((revents & (POLLOUT | POLLERR | POLLHUP)) && r.writeWanted) {
    r.writeWanted = false;
    Notify(r, kFdWrite, 0);
  }
}

void MessageQueue::Notify(const Registration& r, uint32_t event, int error) {
  if (r.events & event) Post(r.window, r.message, static_cast<uintptr_t>(r.socket), SocketEvent(event, error));
}

// The host's side.

bool PumpMessages(int ms, int* exitCode) {
  using Clock = std::chrono::steady_clock;
  MessageQueue& queue = MessageQueue::ForThisThread();
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(std::max(ms, 0));
  // With ms 0 only the messages waiting now are served, so a handler that
  // keeps posting, or a peer that keeps sending, cannot hold the host here.
  size_t budget = ms > 0 ? SIZE_MAX : queue.Waiting();
  for (;;) {
    MessageQueue::Pass pass = MessageQueue::Pass::kEmpty;
    if (budget > 0) {
      pass = queue.DispatchOne();
      if (pass == MessageQueue::Pass::kDispatched) --budget;
    } else if (queue.QuitPosted()) {
      pass = MessageQueue::Pass::kQuit;
    }
    if (pass == MessageQueue::Pass::kQuit) {
      int code = 0;
      queue.TakeQuit(code);
      if (exitCode) *exitCode = code;
      return false;
    }
    if (!queue.ServeHost()) return true;
    Clock::time_point now = Clock::now();
    if (pass == MessageQueue::Pass::kEmpty) {
      if (now >= end) return true;
      queue.Sleep(static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(end - now).count()));
    } else if (ms > 0 && now >= end) {
      return true;
    }
  }
}

void PostQuitMessage(int exitCode) { MessageQueue::ForThisThread().PostQuit(exitCode); }

void SetHostEventHook(HostEventHook hook, void* context) { MessageQueue::ForThisThread().SetHostHook(hook, context); }

}  // namespace rssvane
