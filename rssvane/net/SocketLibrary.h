#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "net/MessageQueue.h"

namespace rssvane {

// The socket calls of the network layers, in the shape of the design's
// socket library: a call that fails returns -1 (no address for inet_addr)
// and leaves its code, a socket library number, for WSAGetLastError.
// Addresses and ports are in network order. Each slot holds a fallback that
// fails as a library that was never started does (WSAGetLastError then
// gives 10093) until the library is bound.
struct SocketEntryTable {
  // A non-blocking stream socket that is not inherited by child processes.
  Socket (*socket)(int family, int type, int protocol);
  int (*bind)(Socket s, uint32_t address, uint16_t port);
  // On a socket registered with WSAAsyncSelect the result of the connect
  // always comes as FD_CONNECT; the call itself gives 0 or 10035.
  int (*connect)(Socket s, uint32_t address, uint16_t port);
  int (*closesocket)(Socket s);
  // Never raises SIGPIPE; a broken connection is an error code.
  long (*send)(Socket s, const char* bytes, size_t length);
  long (*recv)(Socket s, char* buffer, size_t length);
  int (*setsockopt)(Socket s, int level, int option, int value);
  int (*WSAAsyncSelect)(Socket s, WindowHandle window, uint32_t message, uint32_t events);
  uint32_t (*inet_addr)(const char* text);
  // The first IPv4 address of a host name, or -1 with 11001 to 11004.
  int (*gethostbyname)(const char* name, uint32_t* address);
  int (*WSAGetLastError)();
  void (*WSASetLastError)(int code);
  int (*WSAStartup)(uint16_t version, struct WsaData* data);
};

// What starting the library tells its user.
struct WsaData {
  uint16_t version = 0;  // negotiated, major in the low byte
  uint16_t highVersion = 0;
  std::string description;   // at most 256 characters
  std::string systemStatus;  // at most 128 characters
  uint16_t maxSockets = 0;
  uint16_t maxDatagramSize = 0;
};

// The socket library of the process. On Linux the socket calls live in the
// C library, which is loaded at run time by name and whose entry points are
// bound by name into the table; errno values become the socket library's
// numbers (ECONNREFUSED 10061, ETIMEDOUT 10060, ECONNRESET 10054, ...).
// Every SocketObject holds one reference while it lives; the table is bound
// when the first one starts and gets its fallbacks back when the last one
// stops. Start and Stop may be called from any thread.
class SocketLibrary {
 public:
  static constexpr std::string_view kDefaultName = "libc.so.6";

  static SocketLibrary& Instance();

  // True when the caller now holds a reference; otherwise failure says why
  // ("Could not load Winsock DLL.", "Network subsystem not ready.", ...).
  bool Start(std::string& failure);
  void Stop();

  // The file loaded by the next start; empty text restores the default.
  void SetLibraryName(std::string_view name);

  uint16_t ReferenceCount() const;
  // The start-up data while started; "Down" and zeros when stopped.
  std::string Description() const;
  std::string SystemStatus() const;
  uint16_t MaxSockets() const;
  uint16_t MaxDatagramSize() const;
  // Full path of the loaded module, empty when none is loaded.
  std::string Path() const;

 private:
  SocketLibrary();
  void StopLocked();

  mutable std::mutex mutex_;
  std::string name_;
  void* module_ = nullptr;
  uint16_t count_ = 0;
  WsaData data_;
  std::string path_;
};

// The table every layer calls through.
const SocketEntryTable& Sockets() noexcept;

// The socket library's number for an errno value. Values without a
// counterpart become 12000 + errno, which no row of the table describes.
int SocketErrorOfErrno(int error) noexcept;
// The number for a getaddrinfo failure (errnoValue for EAI_SYSTEM).
int SocketErrorOfResolver(int eaiCode, int errnoValue) noexcept;

inline constexpr uint16_t HostToNetwork16(uint16_t value) noexcept {
  if constexpr (std::endian::native == std::endian::big) return value;
  return static_cast<uint16_t>((value >> 8) | (value << 8));
}

}  // namespace rssvane
