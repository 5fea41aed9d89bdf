#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "rssvane/MessageLoop.h"

namespace rssvane {

// A socket as the layers hold it: the descriptor, or kInvalidSocket.
using Socket = int;
inline constexpr Socket kInvalidSocket = -1;

// A "window" of the thread's message queue: the handle through which one
// SocketObject receives its messages. 0 is no window.
using WindowHandle = uint32_t;

// The message that carries socket notifications: wParam is the socket, the
// low word of lParam the event, the high word the error.
inline constexpr uint32_t kSocketNotify = 0x0400 + 101;
enum : uint32_t { kFdRead = 1, kFdWrite = 2, kFdConnect = 16, kFdClose = 32 };

inline constexpr intptr_t SocketEvent(uint32_t event, int error) noexcept {
  return static_cast<intptr_t>(event | (static_cast<uint32_t>(error) & 0xFFFFu) << 16);
}

// What receives the messages posted to a window.
class MessageTarget {
 public:
  virtual void Dispatch(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;

 protected:
  ~MessageTarget() = default;
};

// The message queue of one thread. Messages are posted to windows and
// dispatched one at a time by the waits and pumps of that thread; sockets
// registered with Select have their readiness, found by poll, turned into
// kSocketNotify messages with the rules of the design's socket library:
// FD_CONNECT once when a connect completes (with its error), FD_READ when
// data arrives and not again until the socket is read, FD_CLOSE once when
// the peer has closed (error 0) or the connection broke (its error), FD_WRITE
// after the connect and again after a send that would have blocked. Only the
// thread that owns a queue uses it; there are no locks.
class MessageQueue {
 public:
  static MessageQueue& ForThisThread();

  WindowHandle CreateWindow(MessageTarget* target);
  // Forgets the window, every socket registered to it and the messages
  // queued for it.
  void DestroyWindow(WindowHandle window) noexcept;
  bool IsWindow(WindowHandle window) const noexcept;

  void Post(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
  // The quit message stays posted, ending every wait, until TakeQuit.
  void PostQuit(int exitCode) noexcept;
  bool TakeQuit(int& exitCode) noexcept;
  bool QuitPosted() const noexcept { return quitPosted_; }

  enum class Pass { kEmpty, kDispatched, kQuit };
  // Dispatches the oldest message, looking at the sockets first when none is
  // waiting; kQuit when only the quit message is left.
  Pass DispatchOne();
  // The number of messages waiting, after looking at the sockets.
  size_t Waiting();
  // Sleeps until a registered socket has news or ms pass; returns at once
  // when a message is waiting.
  void Sleep(int ms);
  // Lets the host serve its own events; false when it asks to close.
  bool ServeHost();
  void SetHostHook(HostEventHook hook, void* context) noexcept;

  // The socket library's side: registration (events 0 ends it) and what the
  // socket calls tell the queue.
  void Select(Socket socket, WindowHandle window, uint32_t message, uint32_t events);
  // A connect was started; error is its immediate failure (0 when it is
  // under way or done). False when the socket is not registered.
  bool ConnectStarted(Socket socket, int error) noexcept;
  void ReadAttempted(Socket socket) noexcept;
  void SendBlocked(Socket socket) noexcept;
  // The socket is closed: its registration and its queued notifications go.
  void Forget(Socket socket) noexcept;

 private:
  struct Message {
    WindowHandle window;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
  };
  struct Window {
    WindowHandle handle;
    MessageTarget* target;
  };
  enum class State : uint8_t { kIdle, kConnecting, kOpen, kEnded };
  struct Registration {
    Socket socket;
    WindowHandle window;
    uint32_t message;
    uint32_t events;
    State state = State::kIdle;
    int connectError = 0;
    bool readArmed = true;  // FD_READ may be posted
    bool writeWanted = false;
  };

  Registration* Find(Socket socket) noexcept;
  MessageTarget* TargetOf(WindowHandle window) const noexcept;
  short Interest(const Registration& r) const noexcept;
  // Polls the registered sockets for up to ms and posts what they report.
  void Collect(int ms);
  void Report(Registration& r, short revents);
  void Notify(const Registration& r, uint32_t event, int error);

  std::deque<Message> messages_;
  std::vector<Window> windows_;
  std::vector<Registration> registrations_;
  WindowHandle nextWindow_ = 1;
  bool quitPosted_ = false;
  int quitCode_ = 0;
  HostEventHook hook_ = nullptr;
  void* hookContext_ = nullptr;
};

}  // namespace rssvane
