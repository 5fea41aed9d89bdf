#include "net/SocketObject.h"

#include <algorithm>
#include <chrono>
#include <string>

#include "base/Codes.h"
#include "net/NetCodes.h"
#include "net/SocketLibrary.h"

namespace rssvane {

namespace {

int64_t NowMs() noexcept {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

const char* TrueFalse(bool value) noexcept { return value ? "True" : "False"; }

}  // namespace

SocketObject::SocketObject() {
  libraryStarted_ = SocketLibrary::Instance().Start(startFailure_);
  window_ = MessageQueue::ForThisThread().CreateWindow(this);
}

SocketObject::~SocketObject() {
  if (window_) MessageQueue::ForThisThread().DestroyWindow(window_);
  if (libraryStarted_) SocketLibrary::Instance().Stop();
}

void SocketObject::Destroy() {
  interruptRequested_ = true;
  events_ = nullptr;
  if (window_) MessageQueue::ForThisThread().DestroyWindow(window_);
  window_ = 0;
}

void SocketObject::ClearError() noexcept {
  lastError_ = 0;
  lastErrorText_.Clear();
}

int SocketObject::Fail(int code, std::string_view text) noexcept {
  lastError_ = code;
  lastErrorText_.Assign(text);
  return code;
}

int SocketObject::FailSocket(int code) noexcept {
  try {
    return Fail(code, DescriptionForCode(code, {}));
  } catch (...) {
    return Fail(code, {});
  }
}

int SocketObject::FailWait() noexcept {
  lastError_ = kErrInterrupted;
  if (lastErrorText_.Empty()) lastErrorText_.Assign("Interrupted.");
  return kErrInterrupted;
}

void SocketObject::SetTimeoutSeconds(int32_t seconds) noexcept {
  int64_t ms = int64_t{seconds} * 1000;
  timeoutMs_ = static_cast<int32_t>(std::clamp<int64_t>(ms, INT32_MIN, INT32_MAX));
  deadline_ = 0;
}

void SocketObject::ArmDeadline() noexcept {
  // A negative Timeout gives a deadline already passed, never "none".
  deadline_ = timeoutMs_ != 0 ? std::max<int64_t>(NowMs() + timeoutMs_, 1) : 0;
}

bool SocketObject::TakeInterrupt() noexcept {
  if (!interruptRequested_) return false;
  interruptRequested_ = false;
  interrupted_ = true;
  lastErrorText_.Assign("Interrupted.");
  return true;
}

bool SocketObject::WaitStep(int ms) {
  if (TakeInterrupt()) return false;
  MessageQueue& queue = MessageQueue::ForThisThread();
  MessageQueue::Pass pass = queue.DispatchOne();
  // A quit stays posted for the host's own loop.
  if (pass == MessageQueue::Pass::kQuit) return false;
  if (pass == MessageQueue::Pass::kDispatched && !queue.IsWindow(window_)) return false;
  if (!queue.ServeHost()) return false;
  if (pass == MessageQueue::Pass::kEmpty && ms != 0) queue.Sleep(ms);
  if (TakeInterrupt()) return false;
  if (deadline_ != 0 && NowMs() > deadline_) {
    lastErrorText_.Assign("Timeout.");
    return false;
  }
  return queue.IsWindow(window_);
}

void SocketObject::Dispatch(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  // An event handler may drop the owner's last reference; this frame keeps
  // the object until the handler chain has returned.
  std::shared_ptr<void> hold = owner_.lock();
  HandleMessage(message, wParam, lParam);
}

void SocketObject::HandleMessage(uint32_t, uintptr_t, intptr_t) {}

void SocketObject::PostToSelf(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (window_) MessageQueue::ForThisThread().Post(window_, message, wParam, lParam);
}

int SocketObject::ResolveHost(std::string_view name, uint32_t& address) noexcept {
  address = 0;
  if (name.empty()) return 0;
  const SocketEntryTable& api = Sockets();
  try {
    std::string host(name);
    // A name with a zero byte in it would be looked up cut short.
    if (host.find('\0') != std::string::npos) return FailSocket(kWsaHostNotFound);
    uint32_t dotted = api.inet_addr(host.c_str());
    if (dotted != 0xFFFFFFFFu) {
      address = dotted;
      return 0;
    }
    uint32_t found = 0;
    if (api.gethostbyname(host.c_str(), &found) == 0) {
      address = found;
      return 0;
    }
  } catch (...) {
    return Fail(kErrOutOfMemory, "Out of memory.");
  }
  int code = api.WSAGetLastError();
  // Without a library the address stays 0, which connecting refuses.
  return code == kWsaNotInitialised ? 0 : FailSocket(code);
}

bool SocketObject::Settings::Configure(const ConfigSetting& setting, ConfigResult& result) {
  SocketObject& o = owner_;
  if (ConfigNameIs(setting.name, "AbsoluteTimeout")) {
    if (setting.isSet) {
      o.absoluteTimeout_ = ConfigBoolean(setting.value);
    } else {
      result.value = TrueFalse(o.absoluteTimeout_);
    }
    return true;
  }
  // The rest only answer queries.
  if (setting.isSet) return false;
  SocketLibrary& library = SocketLibrary::Instance();
  if (ConfigNameIs(setting.name, "WinsockLoaded")) {
    result.value = TrueFalse(o.libraryStarted_);
  } else if (ConfigNameIs(setting.name, "WinsockInfo")) {
    result.value = o.libraryStarted_ ? library.Description() : o.startFailure_;
  } else if (ConfigNameIs(setting.name, "WinsockStatus")) {
    result.value = library.SystemStatus();
  } else if (ConfigNameIs(setting.name, "WinsockMaxSockets")) {
    result.value = std::to_string(library.MaxSockets());
  } else if (ConfigNameIs(setting.name, "WinsockMaxDatagramSize")) {
    result.value = std::to_string(library.MaxDatagramSize());
  } else if (ConfigNameIs(setting.name, "WinsockPath")) {
    result.value = library.Path();
  } else {
    return false;
  }
  return true;
}

}  // namespace rssvane
