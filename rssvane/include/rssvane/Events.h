#pragma once

// The control's event interface _IRSSEvents, as a host receives it. A host
// connects sinks to a control with RSS::Advise; every event goes to every
// connected sink in the order they were connected, on the thread that
// created the control, while the control waits or while the host pumps the
// thread's queue (rssvane/MessageLoop.h). A sink may connect or disconnect
// sinks, itself included, during an event: one disconnected then receives
// nothing more, one connected then receives the next event.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <rssvane/Variant.h>

namespace rssvane {

// The DISPIDs of the events.
enum : int32_t {
  kEventConnected = 1,
  kEventConnectionStatus = 2,
  kEventDisconnected = 3,
  kEventEndTransfer = 4,
  kEventError = 5,
  kEventHeader = 6,
  kEventRedirect = 7,
  kEventSetCookie = 8,
  kEventStartTransfer = 9,
  kEventStatus = 10,
  kEventTransfer = 11,
};

// An early-bound sink: override the events wanted. Every argument is by
// reference: what a handler leaves in it is what the sinks after it and
// the control see (a Redirect's Accept decides whether it is followed).
class _IRSSEvents {
 public:
  virtual ~_IRSSEvents() = default;
  virtual void Connected(int16_t& /*StatusCode*/, std::u16string& /*Description*/) {}
  virtual void ConnectionStatus(std::u16string& /*ConnectionEvent*/, int16_t& /*StatusCode*/,
                                std::u16string& /*Description*/) {}
  virtual void Disconnected(int16_t& /*StatusCode*/, std::u16string& /*Description*/) {}
  virtual void EndTransfer() {}
  virtual void Error(int16_t& /*ErrorCode*/, std::u16string& /*Description*/) {}
  virtual void Header(std::u16string& /*Field*/, std::u16string& /*Value*/) {}
  virtual void Redirect(std::u16string& /*Location*/, bool& /*Accept*/) {}
  virtual void SetCookie(std::u16string& /*Name*/, std::u16string& /*Value*/, std::u16string& /*Expires*/,
                         std::u16string& /*Domain*/, std::u16string& /*Path*/, bool& /*Secure*/) {}
  virtual void StartTransfer() {}
  virtual void Status(std::u16string& /*HTTPVersion*/, int16_t& /*StatusCode*/, std::u16string& /*Description*/) {}
  virtual void Transfer(int32_t& /*BytesTransferred*/, std::u16string& /*Text*/) {}
};

// A late-bound sink: each event arrives by its DISPID with its arguments in
// the order above, as a 16-bit integer, a 32-bit integer, a boolean or a
// text. A handler may replace a value; it is taken back coerced to the
// argument's type (a value that does not coerce leaves the argument as it
// was).
class EventDispatch {
 public:
  virtual ~EventDispatch() = default;
  virtual void Invoke(int32_t dispId, std::vector<Variant>& args) = 0;
};

// What the type library says of an event: its name and its parameters'.
struct EventInfo {
  int32_t dispId;
  std::u16string_view name;
  std::u16string_view parameters[6];
  size_t parameterCount;
};

// Null for a DISPID that is no event.
const EventInfo* FindEvent(int32_t dispId) noexcept;

}  // namespace rssvane
