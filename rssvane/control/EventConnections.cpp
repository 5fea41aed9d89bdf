#include "control/EventConnections.h"

#include <algorithm>
#include <new>
#include <tuple>
#include <type_traits>

#include "base/CodePage.h"

namespace rssvane {

namespace {

constexpr EventInfo kEvents[] = {
    {kEventConnected, u"Connected", {u"StatusCode", u"Description"}, 2},
    {kEventConnectionStatus, u"ConnectionStatus", {u"ConnectionEvent", u"StatusCode", u"Description"}, 3},
    {kEventDisconnected, u"Disconnected", {u"StatusCode", u"Description"}, 2},
    {kEventEndTransfer, u"EndTransfer", {}, 0},
    {kEventError, u"Error", {u"ErrorCode", u"Description"}, 2},
    {kEventHeader, u"Header", {u"Field", u"Value"}, 2},
    {kEventRedirect, u"Redirect", {u"Location", u"Accept"}, 2},
    {kEventSetCookie, u"SetCookie", {u"Name", u"Value", u"Expires", u"Domain", u"Path", u"Secure"}, 6},
    {kEventStartTransfer, u"StartTransfer", {}, 0},
    {kEventStatus, u"Status", {u"HTTPVersion", u"StatusCode", u"Description"}, 3},
    {kEventTransfer, u"Transfer", {u"BytesTransferred", u"Text"}, 2},
};

// The wide form of each narrow argument type.
template <typename T>
struct WideOf {
  using Type = T;
};
template <>
struct WideOf<std::string> {
  using Type = std::u16string;
};

void TakeBack(const Variant& value, int16_t& out) {
  int16_t v;
  if (value.ToInt16(v) == 0) out = v;
}
void TakeBack(const Variant& value, int32_t& out) {
  int32_t v;
  if (value.ToInt32(v) == 0) out = v;
}
void TakeBack(const Variant& value, bool& out) {
  bool v;
  if (value.ToBool(v) == 0) out = v;
}
void TakeBack(const Variant& value, std::u16string& out) {
  std::u16string v;
  if (value.ToText(v) == 0) out = std::move(v);
}

}  // namespace

const EventInfo* FindEvent(int32_t dispId) noexcept {
  for (const EventInfo& info : kEvents) {
    if (info.dispId == dispId) return &info;
  }
  return nullptr;
}

uint32_t EventConnections::Advise(_IRSSEvents* sink) {
  if (!sink) return 0;
  connections_.push_back({nextCookie_, sink, nullptr});
  return nextCookie_++;
}

uint32_t EventConnections::Advise(EventDispatch* sink) {
  if (!sink) return 0;
  connections_.push_back({nextCookie_, nullptr, sink});
  return nextCookie_++;
}

bool EventConnections::Unadvise(uint32_t cookie) noexcept {
  return std::erase_if(connections_, [cookie](const Connection& c) { return c.cookie == cookie; }) > 0;
}

bool EventConnections::IsConnected(uint32_t cookie) const noexcept {
  return std::any_of(connections_.begin(), connections_.end(),
                     [cookie](const Connection& c) { return c.cookie == cookie; });
}

bool EventConnections::ToWide(const std::string& narrow, std::u16string& wide) const {
  return narrow.empty() || NarrowToWide(narrow, text_.CodePage(), wide);
}

// What a handler left that cannot come back leaves the argument as it was.
void EventConnections::ToNarrow(const std::u16string& wide, std::string& narrow) const {
  try {
    std::string converted;
    if (WideToNarrow(wide, text_.CodePage(), converted)) narrow = std::move(converted);
  } catch (const std::bad_alloc&) {
  }
}

template <typename... Args>
void EventConnections::Deliver(int32_t dispId, void (_IRSSEvents::*handler)(Args&...), Args&... args) {
  // Sinks may connect and disconnect others while one is called: the
  // snapshot keeps the order, the look-up skips those gone since.
  const std::vector<Connection> snapshot = connections_;
  for (const Connection& c : snapshot) {
    if (!IsConnected(c.cookie)) continue;
    if (c.early) {
      (c.early->*handler)(args...);
      continue;
    }
    std::vector<Variant> values{Variant(args)...};
    c.late->Invoke(dispId, values);
    if (values.size() == sizeof...(Args)) {
      size_t i = 0;
      (TakeBack(values[i++], args), ...);
    }
  }
}

template <typename... Narrow, typename... Wide>
void EventConnections::Fire(int32_t dispId, void (_IRSSEvents::*handler)(Wide&...), Narrow&... narrow) {
  static_assert((std::is_same_v<typename WideOf<Narrow>::Type, Wide> && ...));
  std::tuple<Wide...> wide;
  auto convert = [this](auto& from, auto& to) {
    if constexpr (std::is_same_v<std::decay_t<decltype(from)>, std::string>) {
      return ToWide(from, to);
    } else {
      to = from;
      return true;
    }
  };
  auto back = [this](auto& from, auto& to) {
    if constexpr (std::is_same_v<std::decay_t<decltype(to)>, std::string>) {
      ToNarrow(from, to);
    } else {
      to = from;
    }
  };
  // Error reports a failure that the control raises anyway.
  auto undelivered = [&] {
    if (!undelivered_ && dispId != kEventError) undelivered_ = FindEvent(dispId);
  };
  bool converted = false;
  try {
    converted = std::apply([&](auto&... w) { return (convert(narrow, w) && ...); }, wide);
  } catch (const std::bad_alloc&) {
  }
  if (!converted) return undelivered();
  // With no sink to change them, the arguments would only come back as
  // they went: a body's every piece is not converted twice for nobody.
  if (connections_.empty()) return;
  try {
    std::apply([&](auto&... w) { Deliver(dispId, handler, w...); }, wide);
  } catch (const std::bad_alloc&) {
    // The sinks' copies of the arguments, or a sink itself, ran out.
    return undelivered();
  }
  std::apply([&](auto&... w) { (back(w, narrow), ...); }, wide);
}

void EventConnections::FireConnected(int16_t& statusCode, std::string& description) {
  Fire(kEventConnected, &_IRSSEvents::Connected, statusCode, description);
}

void EventConnections::FireConnectionStatus(std::string& connectionEvent, int16_t& statusCode,
                                            std::string& description) {
  Fire(kEventConnectionStatus, &_IRSSEvents::ConnectionStatus, connectionEvent, statusCode, description);
}

void EventConnections::FireDisconnected(int16_t& statusCode, std::string& description) {
  Fire(kEventDisconnected, &_IRSSEvents::Disconnected, statusCode, description);
}

void EventConnections::FireEndTransfer() { Fire(kEventEndTransfer, &_IRSSEvents::EndTransfer); }

void EventConnections::FireError(int16_t& errorCode, std::string& description) {
  Fire(kEventError, &_IRSSEvents::Error, errorCode, description);
}

void EventConnections::FireHeader(std::string& field, std::string& value) {
  Fire(kEventHeader, &_IRSSEvents::Header, field, value);
}

void EventConnections::FireRedirect(std::string& location, bool& accept) {
  Fire(kEventRedirect, &_IRSSEvents::Redirect, location, accept);
}

void EventConnections::FireSetCookie(std::string& name, std::string& value, std::string& expires,
                                     std::string& domain, std::string& path, bool& secure) {
  Fire(kEventSetCookie, &_IRSSEvents::SetCookie, name, value, expires, domain, path, secure);
}

void EventConnections::FireStartTransfer() { Fire(kEventStartTransfer, &_IRSSEvents::StartTransfer); }

void EventConnections::FireStatus(std::string& httpVersion, int16_t& statusCode, std::string& description) {
  Fire(kEventStatus, &_IRSSEvents::Status, httpVersion, statusCode, description);
}

void EventConnections::FireTransfer(int32_t& bytesTransferred, std::string& text) {
  Fire(kEventTransfer, &_IRSSEvents::Transfer, bytesTransferred, text);
}

}  // namespace rssvane
