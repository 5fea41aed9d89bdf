#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/GrowString.h"
#include "feed/ConfigChain.h"
#include "net/ComponentEvents.h"
#include "net/MessageQueue.h"

namespace rssvane {

// The root of every object that talks to the network: its last error, the
// socket library reference it holds, its window in the thread's message
// queue, the time-out clock and the blocking wait that keeps the thread's
// queue served. Objects are used on the thread that created them.
//
// Lifetime: an owner may destroy the object from inside one of its events,
// while one of its calls waits. The owner then calls Destroy first (which
// ends every wait of the object with 301 "Interrupted.") and, when it holds
// the object through a shared_ptr handed to SetLifetime, the object's own
// frames keep it alive until they have returned.
class SocketObject : public MessageTarget {
 public:
  static constexpr int kWaitStepMs = 20;

  SocketObject();
  virtual ~SocketObject();
  SocketObject(const SocketObject&) = delete;
  SocketObject& operator=(const SocketObject&) = delete;

  int LastError() const noexcept { return lastError_; }
  std::string_view LastErrorText() const noexcept { return lastErrorText_.View(); }
  void ClearError() noexcept;
  int Fail(int code, std::string_view text) noexcept;
  // The code with the socket library's text: "[10061] Connection refused".
  int FailSocket(int code) noexcept;

  // Where events go; null fires none.
  void SetEvents(ComponentEvents* events) noexcept { events_ = events; }
  ComponentEvents* Events() const noexcept { return events_; }

  // Timeout in seconds as hosts set it (0: waits never time out; a
  // negative value is kept and read back as it was set).
  int32_t TimeoutSeconds() const noexcept { return timeoutMs_ / 1000; }
  void SetTimeoutSeconds(int32_t seconds) noexcept;
  int32_t TimeoutMs() const noexcept { return timeoutMs_; }
  bool AbsoluteTimeout() const noexcept { return absoluteTimeout_; }
  // deadline = now + Timeout, or none when Timeout is 0.
  void ArmDeadline() noexcept;
  bool DeadlineArmed() const noexcept { return deadline_ != 0; }
  // Re-arms the deadline after activity unless the time-out bounds the
  // whole action.
  void NoteActivity() noexcept {
    if (!absoluteTimeout_) ArmDeadline();
  }

  // One pass of the blocking wait: dispatches one message of the thread (or
  // sleeps up to ms when there is none) and lets the host serve its events.
  // False ends the wait: an interrupt, a quit, the host closing, the
  // object's window gone, or the deadline passed ("Timeout.").
  bool WaitStep(int ms);
  // Wait steps until done() holds: 0, or 301 with "Timeout." or
  // "Interrupted.".
  template <typename Done>
  int WaitUntil(Done done) {
    std::shared_ptr<void> hold = owner_.lock();
    while (!done()) {
      if (!WaitStep(kWaitStepMs)) return FailWait();
    }
    return 0;
  }
  void RequestInterrupt() noexcept { interruptRequested_ = true; }
  void ClearInterrupt() noexcept { interruptRequested_ = false; }
  bool InterruptRequested() const noexcept { return interruptRequested_; }
  bool Interrupted() const noexcept { return interrupted_; }

  // The owner whose lifetime covers this object; see the class comment.
  void SetLifetime(std::weak_ptr<void> owner) noexcept { owner_ = std::move(owner); }
  // Ends every wait, fires no more events and leaves the queue. The object
  // stays usable only for its destruction.
  virtual void Destroy();

  WindowHandle Window() const noexcept { return window_; }
  bool LibraryStarted() const noexcept { return libraryStarted_; }

  // A host name or dotted address to an IPv4 address in network order: 0
  // for an empty name, or the code of the failed look-up with its text.
  int ResolveHost(std::string_view name, uint32_t& address) noexcept;

  // The settings of this layer: AbsoluteTimeout and the socket library's
  // WinsockLoaded, WinsockInfo, WinsockStatus, WinsockMaxSockets,
  // WinsockMaxDatagramSize and WinsockPath.
  ConfigLayer& SocketLibrarySettings() noexcept { return settings_; }

 protected:
  // Every message of the object's window; the default ignores them.
  virtual void HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
  void PostToSelf(uint32_t message, uintptr_t wParam, intptr_t lParam);
  // 301 with "Interrupted." unless the wait left another text.
  int FailWait() noexcept;
  std::shared_ptr<void> HoldOwner() const noexcept { return owner_.lock(); }

 private:
  class Settings final : public ConfigLayer {
   public:
    explicit Settings(SocketObject& owner) noexcept : owner_(owner) {}
    bool Configure(const ConfigSetting& setting, ConfigResult& result) override;

   private:
    SocketObject& owner_;
  };

  void Dispatch(uint32_t message, uintptr_t wParam, intptr_t lParam) final;
  bool TakeInterrupt() noexcept;

  GrowString lastErrorText_;
  int lastError_ = 0;
  ComponentEvents* events_ = nullptr;
  WindowHandle window_ = 0;
  int32_t timeoutMs_ = 0;
  int64_t deadline_ = 0;  // steady clock in ms; 0 = none
  bool libraryStarted_ = false;
  bool absoluteTimeout_ = false;
  bool interruptRequested_ = false;
  bool interrupted_ = false;
  std::string startFailure_;
  std::weak_ptr<void> owner_;
  Settings settings_{*this};
};

}  // namespace rssvane
