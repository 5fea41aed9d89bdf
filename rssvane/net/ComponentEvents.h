#pragma once

#include <cstdint>
#include <string>

namespace rssvane {

// The component's event firing interface as the network layers call it:
// the eleven events of the control with narrow text. Every argument is by
// reference; what the sinks leave in it is what the caller reads back (a
// Redirect's Accept, for one). The control implements it and converts to
// the host's wide text.
class ComponentEvents {
 public:
  virtual void FireConnected(int16_t& statusCode, std::string& description) = 0;
  virtual void FireConnectionStatus(std::string& connectionEvent, int16_t& statusCode, std::string& description) = 0;
  virtual void FireDisconnected(int16_t& statusCode, std::string& description) = 0;
  virtual void FireEndTransfer() = 0;
  virtual void FireError(int16_t& errorCode, std::string& description) = 0;
  virtual void FireHeader(std::string& field, std::string& value) = 0;
  virtual void FireRedirect(std::string& location, bool& accept) = 0;
  virtual void FireSetCookie(std::string& name, std::string& value, std::string& expires, std::string& domain,
                             std::string& path, bool& secure) = 0;
  virtual void FireStartTransfer() = 0;
  virtual void FireStatus(std::string& httpVersion, int16_t& statusCode, std::string& description) = 0;
  virtual void FireTransfer(int32_t& bytesTransferred, std::string& text) = 0;

 protected:
  ~ComponentEvents() = default;
};

}  // namespace rssvane
