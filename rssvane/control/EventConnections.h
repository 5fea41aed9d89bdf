#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "feed/TextSettings.h"
#include "net/ComponentEvents.h"
#include "rssvane/Events.h"

namespace rssvane {

// The control's connection point: the sinks a host connected, in order,
// and the firing of every event to them with the host's wide text (in the
// control's CodePage) and arguments by reference. What the sinks leave in
// an argument goes back to the network layer that fired it. An event whose
// text cannot be converted (the memory for it is lacking) is not delivered;
// the control reports the first such event of the kinds that carry text
// from a peer or the connection (every one but Error) when it next can.
class EventConnections final : public ComponentEvents {
 public:
  explicit EventConnections(const TextSettings& text) noexcept : text_(text) {}

  // The cookie for Unadvise; 0 for a null sink.
  uint32_t Advise(_IRSSEvents* sink);
  uint32_t Advise(EventDispatch* sink);
  bool Unadvise(uint32_t cookie) noexcept;
  void Clear() noexcept { connections_.clear(); }

  // The first event not delivered since the last take, or null.
  bool HasUndelivered() const noexcept { return undelivered_ != nullptr; }
  const EventInfo* TakeUndelivered() noexcept { return std::exchange(undelivered_, nullptr); }

  void FireConnected(int16_t& statusCode, std::string& description) override;
  void FireConnectionStatus(std::string& connectionEvent, int16_t& statusCode, std::string& description) override;
  void FireDisconnected(int16_t& statusCode, std::string& description) override;
  void FireEndTransfer() override;
  void FireError(int16_t& errorCode, std::string& description) override;
  void FireHeader(std::string& field, std::string& value) override;
  void FireRedirect(std::string& location, bool& accept) override;
  void FireSetCookie(std::string& name, std::string& value, std::string& expires, std::string& domain,
                     std::string& path, bool& secure) override;
  void FireStartTransfer() override;
  void FireStatus(std::string& httpVersion, int16_t& statusCode, std::string& description) override;
  void FireTransfer(int32_t& bytesTransferred, std::string& text) override;

 private:
  struct Connection {
    uint32_t cookie;
    _IRSSEvents* early;
    EventDispatch* late;
  };

  bool IsConnected(uint32_t cookie) const noexcept;
  template <typename... Narrow, typename... Wide>
  void Fire(int32_t dispId, void (_IRSSEvents::*handler)(Wide&...), Narrow&... narrow);
  template <typename... Args>
  void Deliver(int32_t dispId, void (_IRSSEvents::*handler)(Args&...), Args&... args);
  bool ToWide(const std::string& narrow, std::u16string& wide) const;
  void ToNarrow(const std::u16string& wide, std::string& narrow) const;

  const TextSettings& text_;
  std::vector<Connection> connections_;
  const EventInfo* undelivered_ = nullptr;
  uint32_t nextCookie_ = 1;
};

}  // namespace rssvane
