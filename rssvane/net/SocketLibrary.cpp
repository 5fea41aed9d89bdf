#include "net/SocketLibrary.h"

#include <dlfcn.h>
#include <link.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "net/NetCodes.h"

namespace rssvane {

namespace {

// WSAGetLastError's value: set by the call that failed, per thread.
thread_local int t_lastError = 0;

// The C library's entry points behind the bound slots.
struct CLibrary {
  int (*socket)(int, int, int) = nullptr;
  int (*bind)(int, const sockaddr*, socklen_t) = nullptr;
  int (*connect)(int, const sockaddr*, socklen_t) = nullptr;
  int (*close)(int) = nullptr;
  ssize_t (*send)(int, const void*, size_t, int) = nullptr;
  ssize_t (*recv)(int, void*, size_t, int) = nullptr;
  int (*setsockopt)(int, int, int, const void*, socklen_t) = nullptr;
  int (*getsockopt)(int, int, int, void*, socklen_t*) = nullptr;
  in_addr_t (*inet_addr)(const char*) = nullptr;
  int (*getaddrinfo)(const char*, const char*, const addrinfo*, addrinfo**) = nullptr;
  void (*freeaddrinfo)(addrinfo*) = nullptr;
};
CLibrary c;

// The fallbacks: what a library that was never started answers.
Socket NoSocket(int, int, int) { return kInvalidSocket; }
int NoAddressCall(Socket, uint32_t, uint16_t) { return -1; }
int NoClose(Socket) { return -1; }
long NoSend(Socket, const char*, size_t) { return -1; }
long NoRecv(Socket, char*, size_t) { return -1; }
int NoSetOption(Socket, int, int, int) { return -1; }
int NoAsyncSelect(Socket, WindowHandle, uint32_t, uint32_t) { return -1; }
uint32_t NoAddress(const char*) { return INADDR_NONE; }
int NoHost(const char*, uint32_t*) { return -1; }
int NotInitialised() { return kWsaNotInitialised; }
void NoSetLastError(int) {}
int NotReady(uint16_t, WsaData*) { return kWsaSubsystemNotReady; }

constexpr SocketEntryTable kFallbacks = {
    NoSocket,  NoAddressCall, NoAddressCall,  NoClose,        NoSend, NoRecv, NoSetOption, NoAsyncSelect,
    NoAddress, NoHost,        NotInitialised, NoSetLastError, NotReady,
};
SocketEntryTable g_table = kFallbacks;

int Failed(int error) {
  t_lastError = SocketErrorOfErrno(error);
  return -1;
}

sockaddr_in Ipv4(uint32_t address, uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = address;
  a.sin_port = port;
  return a;
}

Socket BoundSocket(int family, int type, int protocol) {
  int s = c.socket(family, type | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
  if (s < 0) Failed(errno);
  return s < 0 ? kInvalidSocket : s;
}

int BoundBind(Socket s, uint32_t address, uint16_t port) {
  sockaddr_in a = Ipv4(address, port);
  return c.bind(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0 ? 0 : Failed(errno);
}

int BoundConnect(Socket s, uint32_t address, uint16_t port) {
  sockaddr_in a = Ipv4(address, port);
  int rc = c.connect(s, reinterpret_cast<const sockaddr*>(&a), sizeof a);
  int error = rc == 0 ? 0 : errno;
  // Loopback refusals arrive before connect returns; a registered socket
  // still learns the outcome through FD_CONNECT, as the design expects.
  int reported = error == 0 || error == EINPROGRESS ? 0 : SocketErrorOfErrno(error);
  if (MessageQueue::ForThisThread().ConnectStarted(s, reported)) {
    t_lastError = kWsaWouldBlock;
    return -1;
  }
  if (rc == 0) return 0;
  t_lastError = error == EINPROGRESS ? kWsaWouldBlock : reported;
  return -1;
}

int BoundClose(Socket s) {
  MessageQueue::ForThisThread().Forget(s);
  return c.close(s) == 0 ? 0 : Failed(errno);
}

long BoundSend(Socket s, const char* bytes, size_t length) {
  ssize_t n = c.send(s, bytes, length, MSG_NOSIGNAL);
  if (n >= 0) return static_cast<long>(n);
  int error = errno;
  if (error == EAGAIN || error == EWOULDBLOCK) MessageQueue::ForThisThread().SendBlocked(s);
  return Failed(error);
}

long BoundRecv(Socket s, char* buffer, size_t length) {
  MessageQueue::ForThisThread().ReadAttempted(s);
  ssize_t n = c.recv(s, buffer, length, 0);
  return n >= 0 ? static_cast<long>(n) : Failed(errno);
}

// A buffer size asks for at least that much room. Linux gives a TCP socket
// more than the sizes hosts ask for (64000 by HTTP) and grows it with the
// connection's speed, unless a size is set, which fixes it for good and
// caps a fast transfer; so a size the socket already has is left alone.
bool BufferAlreadyHolds(Socket s, int level, int option, int value) {
  if (level != SOL_SOCKET || (option != SO_RCVBUF && option != SO_SNDBUF) || !c.getsockopt) return false;
  int current = 0;
  socklen_t length = sizeof current;
  return c.getsockopt(s, level, option, &current, &length) == 0 && current >= value;
}

int BoundSetOption(Socket s, int level, int option, int value) {
  if (BufferAlreadyHolds(s, level, option, value)) return 0;
  return c.setsockopt(s, level, option, &value, sizeof value) == 0 ? 0 : Failed(errno);
}

int BoundAsyncSelect(Socket s, WindowHandle window, uint32_t message, uint32_t events) {
  if (s < 0) {
    t_lastError = kWsaNotSocket;
    return -1;
  }
  MessageQueue::ForThisThread().Select(s, window, message, events);
  return 0;
}

uint32_t BoundAddress(const char* text) { return c.inet_addr(text); }

int BoundHost(const char* name, uint32_t* address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  int rc = c.getaddrinfo(name, nullptr, &hints, &list);
  if (rc != 0) {
    t_lastError = SocketErrorOfResolver(rc, errno);
    return -1;
  }
  sockaddr_in first;
  std::memcpy(&first, list->ai_addr, sizeof first);
  c.freeaddrinfo(list);
  *address = first.sin_addr.s_addr;
  return 0;
}

int BoundGetLastError() { return t_lastError; }
void BoundSetLastError(int code) { t_lastError = code; }

// Only version 1.1 is ever asked for, and it is what this library speaks;
// what can be missing is the C library's side.
int BoundStartup(uint16_t, WsaData* data) {
  data->version = 0;
  if (!c.socket || !c.bind || !c.connect || !c.close || !c.send || !c.recv || !c.setsockopt) {
    return kWsaSubsystemNotReady;
  }
  rlimit files{};
  uint64_t maxSockets = ::getrlimit(RLIMIT_NOFILE, &files) == 0 ? files.rlim_cur : 1024;
  data->version = 0x0101;
  data->highVersion = 0x0101;
  data->description = "POSIX sockets of the C library";
  data->systemStatus = "Running";
  data->maxSockets = static_cast<uint16_t>(std::min<uint64_t>(maxSockets, 0xFFFF));
  data->maxDatagramSize = 65507;  // the largest UDP payload over IPv4
  return 0;
}

std::string ModulePath(void* module) {
  link_map* map = nullptr;
  if (::dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name) return {};
  return map->l_name;
}

// dlsym also searches the libraries a module depends on; only what the
// module itself exports counts as the library's.
template <typename F>
bool Find(void* module, const std::string& path, const char* name, F& out) {
  void* entry = ::dlsym(module, name);
  Dl_info info;
  out = entry && ::dladdr(entry, &info) && info.dli_fname && path == info.dli_fname ? reinterpret_cast<F>(entry)
                                                                                      : nullptr;
  return out != nullptr;
}

// An entry the library does not export keeps its fallback.
void Bind(void* module) {
  const std::string path = ModulePath(module);
  if (Find(module, path, "socket", c.socket)) g_table.socket = BoundSocket;
  if (Find(module, path, "bind", c.bind)) g_table.bind = BoundBind;
  if (Find(module, path, "connect", c.connect)) g_table.connect = BoundConnect;
  if (Find(module, path, "close", c.close)) g_table.closesocket = BoundClose;
  if (Find(module, path, "send", c.send)) g_table.send = BoundSend;
  if (Find(module, path, "recv", c.recv)) g_table.recv = BoundRecv;
  if (Find(module, path, "setsockopt", c.setsockopt)) g_table.setsockopt = BoundSetOption;
  Find(module, path, "getsockopt", c.getsockopt);
  if (Find(module, path, "inet_addr", c.inet_addr)) g_table.inet_addr = BoundAddress;
  if (Find(module, path, "getaddrinfo", c.getaddrinfo) && Find(module, path, "freeaddrinfo", c.freeaddrinfo)) {
    g_table.gethostbyname = BoundHost;
  }
  // The queue and the last error belong to rssvane itself.
  g_table.WSAAsyncSelect = BoundAsyncSelect;
  g_table.WSAGetLastError = BoundGetLastError;
  g_table.WSASetLastError = BoundSetLastError;
  g_table.WSAStartup = BoundStartup;
}

constexpr std::pair<int, int> kErrnoCodes[] = {
    {EINTR, 10004},        {EBADF, 10009},          {EACCES, 10013},          {EPERM, 10013},
    {EFAULT, 10014},       {EINVAL, 10022},         {EMFILE, 10024},          {ENFILE, 10024},
    {EWOULDBLOCK, 10035},  {EINPROGRESS, 10036},    {EALREADY, 10037},        {ENOTSOCK, 10038},
    {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040},       {EPROTOTYPE, 10041},      {ENOPROTOOPT, 10042},
    {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},  {EPFNOSUPPORT, 10046},
    {EAFNOSUPPORT, 10047}, {EADDRINUSE, 10048},     {EADDRNOTAVAIL, 10049},   {ENETDOWN, 10050},
    {ENETUNREACH, 10051},  {ENETRESET, 10052},      {ECONNABORTED, 10053},    {ECONNRESET, 10054},
    {ENOBUFS, 10055},      {ENOMEM, 10055},         {EISCONN, 10056},         {ENOTCONN, 10057},
    {ESHUTDOWN, 10058},    {EPIPE, 10058},          {ETOOMANYREFS, 10059},    {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061}, {ELOOP, 10062},          {ENAMETOOLONG, 10063},    {EHOSTDOWN, 10064},
    {EHOSTUNREACH, 10065}, {ENOTEMPTY, 10066},      {EUSERS, 10068},          {EDQUOT, 10069},
    {ESTALE, 10070},       {EREMOTE, 10071},
};

}  // namespace

int SocketErrorOfErrno(int error) noexcept {
  for (const auto& [number, code] : kErrnoCodes) {
    if (number == error) return code;
  }
  return 12000 + error;
}

int SocketErrorOfResolver(int eaiCode, int errnoValue) noexcept {
  switch (eaiCode) {
    case EAI_NONAME: return kWsaHostNotFound;
    case EAI_AGAIN: return kWsaTryAgain;
    case EAI_NODATA:
    case EAI_ADDRFAMILY: return kWsaNoData;
    case EAI_MEMORY: return SocketErrorOfErrno(ENOMEM);
    case EAI_SYSTEM: return SocketErrorOfErrno(errnoValue);
    default: return kWsaNoRecovery;
  }
}

const SocketEntryTable& Sockets() noexcept { return g_table; }

SocketLibrary& SocketLibrary::Instance() {
  static SocketLibrary library;
  return library;
}

SocketLibrary::SocketLibrary() : name_(kDefaultName) { data_.systemStatus = "Down"; }

bool SocketLibrary::Start(std::string& failure) {
  std::lock_guard lock(mutex_);
  void* handle = ::dlopen(name_.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    failure = "Could not load Winsock DLL.";
    return false;
  }
  if (++count_ == 1) {
    module_ = handle;
    Bind(handle);
    path_ = ModulePath(handle).substr(0, 200);
  } else {
    ::dlclose(handle);  // the module bound by the first start serves everyone
  }
  WsaData data;
  if (g_table.WSAStartup(0x0101, &data) != 0) {
    failure = "Network subsystem not ready.";
    StopLocked();
    return false;
  }
  data_ = std::move(data);
  return true;
}

void SocketLibrary::Stop() {
  std::lock_guard lock(mutex_);
  StopLocked();
}

void SocketLibrary::StopLocked() {
  if (count_ == 0 || !module_) return;
  // The start-up data stays while any object still holds the library.
  if (--count_ > 0) return;
  data_ = WsaData();
  data_.systemStatus = "Down";
  g_table = kFallbacks;
  c = CLibrary();
  ::dlclose(module_);
  module_ = nullptr;
  path_.clear();
}

void SocketLibrary::SetLibraryName(std::string_view name) {
  std::lock_guard lock(mutex_);
  name_ = name.empty() ? std::string(kDefaultName) : std::string(name.substr(0, 200));
}

uint16_t SocketLibrary::ReferenceCount() const {
  std::lock_guard lock(mutex_);
  return count_;
}

std::string SocketLibrary::Description() const {
  std::lock_guard lock(mutex_);
  return data_.description;
}

std::string SocketLibrary::SystemStatus() const {
  std::lock_guard lock(mutex_);
  return data_.systemStatus;
}

uint16_t SocketLibrary::MaxSockets() const {
  std::lock_guard lock(mutex_);
  return data_.maxSockets;
}

uint16_t SocketLibrary::MaxDatagramSize() const {
  std::lock_guard lock(mutex_);
  return data_.maxDatagramSize;
}

std::string SocketLibrary::Path() const {
  std::lock_guard lock(mutex_);
  return path_;
}

}  // namespace rssvane
