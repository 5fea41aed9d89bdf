#include "net/TcpConnection.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "base/Codes.h"
#include "net/NetCodes.h"
#include "net/SocketLibrary.h"

namespace rssvane {

namespace {

// A read pass ends quietly on these: nothing to read now, or a connection
// that is gone, which the disconnect after the pass reports.
bool IsQuietReceiveError(int code) noexcept {
  return code == kWsaWouldBlock || code == kWsaNotSocket || code == kWsaConnectionAborted ||
         code == kWsaConnectionReset;
}

int32_t DisconnectCode(int error) noexcept { return static_cast<int32_t>(static_cast<uint32_t>(error & 0xFFFF) << 16); }

int ErrorOf(int32_t code) noexcept { return static_cast<int>((static_cast<uint32_t>(code) >> 16) & 0xFFFF); }

}  // namespace

TcpConnection::TcpConnection() = default;

TcpConnection::~TcpConnection() { CloseSocket(); }

void TcpConnection::Destroy() {
  CloseSocket();
  connected_ = false;
  SocketObject::Destroy();
}

int TcpConnection::SetRemoteHost(std::string_view host) {
  ClearError();
  if (socket_ != kInvalidSocket) {
    return Fail(kErrRemoteHostBusy, "You cannot change the RemoteHost at this time. A connection is in progress.");
  }
  if (remoteHost_.Assign(host) != 0) return Fail(kErrOutOfMemory, "Out of memory.");
  resolveAtConnect_ = tunnel_.Routed();
  if (resolveAtConnect_) {
    remoteAddress_ = 0;
    return 0;
  }
  return ResolveHost(host, remoteAddress_);
}

int TcpConnection::SetRemotePort(int32_t port) {
  ClearError();
  if (socket_ != kInvalidSocket) {
    return Fail(kErrRemotePortBusy, "You cannot change the RemotePort at this time. A connection is in progress.");
  }
  // A larger number would reach another port once cut to 16 bits.
  if (port < 0 || port > 65535) return Fail(kErrPortInvalid, "RemotePort must be a service port number up to 65535.");
  remotePort_ = port;
  return 0;
}

int TcpConnection::Connect() {
  ClearError();
  pendingCode_ = 0;
  if (socket_ != kInvalidSocket) {
    return Fail(kErrAlreadyConnected, "Already connected. If you want to reconnect, close the current connection first.");
  }
  closePending_ = false;
  buffer_.Clear();
  const bool viaFirewall = tunnel_.Routed();
  // A host set while a firewall was, which is gone now.
  if (!viaFirewall && resolveAtConnect_) {
    if (int rc = ResolveHost(remoteHost_.View(), remoteAddress_)) return rc;
    resolveAtConnect_ = false;
  }
  const uint32_t address = viaFirewall ? tunnel_.RouteAddress() : remoteAddress_;
  const int32_t port = viaFirewall ? tunnel_.RoutePort() : remotePort_;
  if (address == 0) {
    return Fail(kErrAddressZero, viaFirewall ? "The FirewallHost address is invalid (0.0.0.0)."
                                             : "The RemoteHost address is invalid (0.0.0.0).");
  }
  if (port == 0) {
    return Fail(kErrPortInvalid, viaFirewall ? "The FirewallPort is invalid (0)."
                                             : "RemotePort can't be zero. Please specify a valid service port number.");
  }
  if (int rc = tls_.Connecting()) return rc;
  connected_ = false;
  ++connection_;
  tunnel_.Connecting();
  const SocketEntryTable& api = Sockets();
  Socket s = api.socket(AF_INET, SOCK_STREAM, 0);
  if (s == kInvalidSocket) return FailSocket(api.WSAGetLastError());
  socket_ = s;
  if (api.bind(s, 0, 0) != 0 || ApplyOptions() != 0 ||
      api.WSAAsyncSelect(s, Window(), kSocketNotify, kFdRead | kFdWrite | kFdConnect | kFdClose) != 0 ||
      (api.connect(s, address, HostToNetwork16(static_cast<uint16_t>(port))) != 0 &&
       api.WSAGetLastError() != kWsaWouldBlock)) {
    int code = api.WSAGetLastError();
    Reset();
    return FailSocket(code);
  }
  return 0;
}

int TcpConnection::ApplyOptions() {
  const SocketEntryTable& api = Sockets();
  if (api.setsockopt(socket_, SOL_SOCKET, SO_KEEPALIVE, keepAlive_ ? 1 : 0) != 0) return -1;
  if (ApplyBufferSize(SO_RCVBUF, inBufferSize_) != 0) return -1;
  if (ApplyBufferSize(SO_SNDBUF, outBufferSize_) != 0) return -1;
  if (api.setsockopt(socket_, SOL_SOCKET, SO_OOBINLINE, 1) != 0) return -1;
  return tcpNoDelay_ ? ApplyNoDelay() : 0;
}

// Sizes up to the default are left to the system.
int TcpConnection::ApplyBufferSize(int option, int32_t size) {
  return size > 2048 ? Sockets().setsockopt(socket_, SOL_SOCKET, option, size) : 0;
}

int TcpConnection::ApplyNoDelay() {
  return Sockets().setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, tcpNoDelay_ ? 1 : 0);
}

int TcpConnection::Disconnect(int32_t code) {
  if (socket_ == kInvalidSocket) {
    Reset();
    return 0;
  }
  Sockets().WSAAsyncSelect(socket_, Window(), 0, 0);
  if (reading_) {
    closePending_ = true;
    pendingCode_ = code;
    return 0;
  }
  return FinishDisconnect(code);
}

int TcpConnection::FinishDisconnect(int32_t code) {
  closePending_ = false;
  // Nothing a firewall or a TLS handshake still negotiating sends is for the
  // layers above.
  if (acceptData_ && !Negotiating()) {
    reading_ = true;
    ReadPass(1);
    reading_ = false;
  }
  // A disconnect asked for by a handler of that last delivery is this one.
  closePending_ = false;
  if (socket_ == kInvalidSocket) return 0;
  tls_.Closing();
  const bool wasConnected = connected_;
  const SocketEntryTable& api = Sockets();
  int rc = api.closesocket(socket_) == 0 ? 0 : api.WSAGetLastError();
  socket_ = kInvalidSocket;
  Reset();
  // Reported once the socket is gone, so that a handler may connect again.
  if (wasConnected) tunnel_.Disconnected(ErrorOf(code));
  return rc ? FailSocket(rc) : 0;
}

void TcpConnection::CloseSocket() noexcept {
  if (socket_ == kInvalidSocket) return;
  Sockets().closesocket(socket_);
  socket_ = kInvalidSocket;
}

void TcpConnection::Reset() noexcept {
  CloseSocket();
  tls_.Reset();
  connected_ = false;
  lastSendCount_ = 0;
  acceptData_ = true;
}

int TcpConnection::Send(const char* bytes, size_t length, bool requireReady) {
  ClearError();
  if (!tls_.Established()) return SendRaw(bytes, length, requireReady, false);
  size_t taken = 0;
  int rc = tls_.Send({bytes, length}, taken);
  lastSendCount_ = static_cast<uint32_t>(taken);
  if (rc == kWsaWouldBlock) Sockets().WSASetLastError(kWsaWouldBlock);
  return rc;
}

int TcpConnection::SendRaw(const char* bytes, size_t length, bool requireReady, bool quiet) {
  const SocketEntryTable& api = Sockets();
  if (requireReady ? !Connected() : !connected_) {
    api.WSASetLastError(kWsaNotConnected);
    return quiet ? kWsaNotConnected : FailSocket(kWsaNotConnected);
  }
  if (length == 0) return 0;
  long n = api.send(socket_, bytes, length);
  if (n < 0) {
    lastSendCount_ = 0;
    int code = api.WSAGetLastError();
    return code == kWsaWouldBlock || quiet ? code : FailSocket(code);
  }
  NoteActivity();
  lastSendCount_ = static_cast<uint32_t>(n);
  if (static_cast<size_t>(n) < length) {
    api.WSASetLastError(kWsaWouldBlock);
    return kWsaWouldBlock;
  }
  return 0;
}

int TcpConnection::SendAll(const char* bytes, size_t length) {
  std::shared_ptr<void> hold = HoldOwner();
  ClearInterrupt();
  // Without an action's deadline the wait bounds itself.
  if (!AbsoluteTimeout() || !DeadlineArmed()) ArmDeadline();
  for (;;) {
    int rc = Send(bytes, length, true);
    if (rc != kWsaWouldBlock) return rc;
    bytes += lastSendCount_;
    length -= lastSendCount_;
    if (!WaitStep(kWaitStepMs)) return FailWait();
  }
}

void TcpConnection::SetLineTerminator(std::string_view terminator) {
  buffer_.SetTerminator(terminator);
  if (connected_) PostRead();
}

void TcpConnection::SetAcceptData(bool accept) {
  acceptData_ = accept;
  if (!accept) return;
  if (connected_) {
    PostRead();
  } else if (socket_ != kInvalidSocket && TimeoutMs() >= 0 && !reading_) {
    RunReadPass(3);
  }
}

void TcpConnection::PostRead() {
  PostToSelf(kSocketNotify, static_cast<uintptr_t>(socket_), SocketEvent(kFdRead, 0));
}

void TcpConnection::HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message != kSocketNotify || socket_ == kInvalidSocket || wParam != static_cast<uintptr_t>(socket_)) return;
  const int error = static_cast<int>((static_cast<uintptr_t>(lParam) >> 16) & 0xFFFF);
  switch (lParam & 0xFFFF) {
    case kFdRead:
      if ((acceptData_ || Negotiating()) && !reading_) RunReadPass(0);
      break;
    case kFdConnect: ConnectCompleted(error); break;
    case kFdClose:
      // A pass already running meets the end of the stream itself.
      if (!reading_) {
        const uint32_t connection = connection_;
        RunReadPass(2);
        // The pass may have closed it, and a handler connected anew.
        if (connection_ == connection) Disconnect(DisconnectCode(error));
      }
      break;
    case kFdWrite:
      // Only TLS keeps bytes back when the socket is full: the rest of a
      // record, or of the handshake, which then goes on.
      if (tls_.InUse()) {
        tls_.Flush(true);
        if (tls_.Handshaking() && !reading_) RunReadPass(0);
      }
      break;
    default: break;
  }
}

void TcpConnection::ConnectCompleted(int error) {
  if (error == 0) {
    connected_ = true;
    Sockets().setsockopt(socket_, SOL_SOCKET, SO_OOBINLINE, 1);
  } else {
    // Closed before the report, so that a handler may try again.
    Reset();
    if (LastErrorText().empty()) FailSocket(error);
  }
  tunnel_.ConnectCompleted(error);
}

void TcpConnection::RunReadPass(int mode) {
  reading_ = true;
  int rc = ReadPass(mode);
  reading_ = false;
  if (socket_ == kInvalidSocket) return;
  // However the pass ended, it leaves neither a close pending nor a broken
  // connection open behind it.
  if (closePending_) {
    FinishDisconnect(pendingCode_);
  } else if (rc != 0 && rc != kWsaWouldBlock) {
    FinishDisconnect(DisconnectCode(rc));
  }
}

bool TcpConnection::Deliver(std::string_view bytes, bool terminated) {
  NoteActivity();
  DataIn(bytes, terminated);
  return acceptData_ && !InterruptRequested() && socket_ != kInvalidSocket;
}

int TcpConnection::ReadPass(int mode) {
  const SocketEntryTable& api = Sockets();
  std::string_view line;
  for (;;) {
    if (socket_ == kInvalidSocket || tunnel_.Refused() || tls_.Refused() || (!acceptData_ && !Negotiating()) ||
        InterruptRequested()) {
      return 0;
    }
    if (tls_.Handshaking()) {
      if (!tls_.Negotiate()) return 0;
      continue;
    }
    while (buffer_.TakeLine(line)) {
      if (!Deliver(line, true)) return 0;
    }
    // Raw data with nothing buffered is read in pieces of up to
    // InBufferSize straight into a buffer of its own, rather than through
    // the line buffer's MaxLineLength: a large body then takes a fraction of
    // the reads and deliveries.
    std::span<char> space;
    if (buffer_.Size() == 0 && buffer_.Terminator().empty() && !tunnel_.Negotiating() &&
        RawPieceCapacity() > buffer_.Capacity()) {
      space = RawPieceSpace();
    }
    const bool direct = !space.empty();
    if (!direct) space = buffer_.FreeSpace();
    if (space.empty()) {
      // Full, and no complete line in it.
      if (!Deliver(buffer_.TakeAll(), false)) return 0;
      continue;
    }
    if (closePending_ && mode == 0) return 0;
    int code = 0;
    const bool decrypting = tls_.Established();
    long n = decrypting ? tls_.Receive(space, code) : api.recv(socket_, space.data(), space.size());
    if (n < 0) {
      if (!decrypting) code = api.WSAGetLastError();
      if (code == kErrTls) {
        const std::string text(tls_.FailureText());
        OnError(code, text);
      } else if (!IsQuietReceiveError(code)) {
        OnError(code, "socket error in recv: " + std::to_string(code));
      }
      if (code != kWsaWouldBlock) tunnel_.FirewallClosed();
      return code;
    }
    if (tunnel_.Negotiating()) {
      if (n == 0) {
        tunnel_.FirewallClosed();
        return 0;
      }
      NoteActivity();
      // The pass goes on while the reply is incomplete, and once it is
      // complete to deliver the first bytes of the stream that came with it
      // (the tunnel put them into the line buffer).
      if (tunnel_.Received({space.data(), static_cast<size_t>(n)}) || tunnel_.Negotiating()) continue;
      return 0;
    }
    if (!direct) {
      buffer_.Commit(static_cast<size_t>(n));
    } else if (n > 0 && !Deliver({space.data(), static_cast<size_t>(n)}, true)) {
      return 0;
    }
    if (n > 0 && mode == 0) continue;
    // Draining, or the peer has closed: everything buffered goes up now.
    while (buffer_.TakeLine(line)) {
      if (!Deliver(line, true)) return 0;
    }
    if (buffer_.Size() > 0 && !Deliver(buffer_.TakeAll(), false)) return 0;
    if (mode == 1) return 0;
    if (n > 0) continue;
    if (mode == 0) {
      closePending_ = true;  // RunReadPass closes with the pending code
    }
    return 0;
  }
}

size_t TcpConnection::RawPieceCapacity() const noexcept {
  return std::clamp<size_t>(static_cast<size_t>(std::max(inBufferSize_, 0)), 1, LineBuffer::kMaxCapacity);
}

std::span<char> TcpConnection::RawPieceSpace() {
  const size_t capacity = RawPieceCapacity();
  if (rawPiece_.size() != capacity) {
    try {
      rawPiece_.assign(capacity, '\0');
    } catch (const std::bad_alloc&) {
      // The line buffer still reads, in smaller pieces.
      rawPiece_.clear();
    }
  }
  return rawPiece_;
}

void TcpConnection::OnConnected(int code) {
  if (code == 0) FireConnectionStatus("Remote host connection complete.", 0);
  if (ComponentEvents* events = Events()) {
    int16_t status = static_cast<int16_t>(code);
    std::string description = DescriptionOf(code);
    events->FireConnected(status, description);
  }
}

void TcpConnection::OnDisconnected(int code) {
  FireConnectionStatus("Remote host disconnected.", code);
  FireDisconnected(code);
}

void TcpConnection::FireDisconnected(int code) {
  if (ComponentEvents* events = Events()) {
    int16_t status = static_cast<int16_t>(code);
    std::string description = DescriptionOf(code);
    events->FireDisconnected(status, description);
  }
}

void TcpConnection::DataIn(std::string_view, bool) {}

void TcpConnection::OnError(int code, std::string_view text) {
  if (ComponentEvents* events = Events()) {
    int16_t errorCode = static_cast<int16_t>(code);
    std::string description(text);
    events->FireError(errorCode, description);
  }
}

void TcpConnection::FireConnectionStatus(std::string_view text, int code) {
  if (ComponentEvents* events = Events()) {
    std::string connectionEvent(text);
    int16_t status = static_cast<int16_t>(code);
    std::string description = DescriptionOf(code);
    events->FireConnectionStatus(connectionEvent, status, description);
  }
}

std::string TcpConnection::DescriptionOf(int code) const {
  if (code == 0) return "OK";
  if (!LastErrorText().empty()) return std::string(LastErrorText());
  return DescriptionForCode(code, {});
}

bool TcpConnection::Settings::Configure(const ConfigSetting& setting, ConfigResult& result) {
  TcpConnection& o = owner_;
  const bool open = o.socket_ != kInvalidSocket;
  auto socketFailure = [&result](int code) {
    result.code = code;
    result.message = DescriptionForCode(code, {});
  };
  if (ConfigNameIs(setting.name, "MaxLineLength")) {
    if (!setting.isSet) {
      result.value = std::to_string(o.buffer_.Capacity());
    } else if (open) {
      result.code = kErrLineLengthBusy;
      result.message = "You cannot change MaxLineSize at this time. A connection is in progress.";
    } else {
      // A buffer without room could never take a byte: the smallest is 1.
      int32_t length = ConfigNumber(setting.value);
      if (int rc = o.buffer_.SetCapacity(static_cast<size_t>(length < 1 ? 1 : length))) {
        result.code = rc;
        result.message = "Out of memory.";
      }
    }
    return true;
  }
  if (ConfigNameIs(setting.name, "SocketHandle")) {
    if (setting.isSet) return false;
    result.value = std::to_string(o.socket_);
    return true;
  }
  const bool in = ConfigNameIs(setting.name, "InBufferSize");
  if (in || ConfigNameIs(setting.name, "OutBufferSize")) {
    int32_t& size = in ? o.inBufferSize_ : o.outBufferSize_;
    if (!setting.isSet) {
      result.value = std::to_string(size);
      return true;
    }
    size = ConfigNumber(setting.value);
    if (open && o.ApplyBufferSize(in ? SO_RCVBUF : SO_SNDBUF, size) != 0) socketFailure(Sockets().WSAGetLastError());
    return true;
  }
  if (ConfigNameIs(setting.name, "TcpNoDelay")) {
    if (!setting.isSet) {
      result.value = o.tcpNoDelay_ ? "True" : "False";
      return true;
    }
    o.tcpNoDelay_ = ConfigBoolean(setting.value);
    if (open && o.ApplyNoDelay() != 0) socketFailure(Sockets().WSAGetLastError());
    return true;
  }
  if (ConfigNameIs(setting.name, "TlsCaFile")) {
    if (setting.isSet) {
      o.tls_.SetCaFile(setting.value);
    } else {
      result.value = o.tls_.Trust().caFile;
    }
    return true;
  }
  if (ConfigNameIs(setting.name, "TlsVerify")) {
    if (!setting.isSet) {
      result.value = o.tls_.Trust().verify ? "True" : "False";
    } else if (ConfigBoolean(setting.value)) {
      o.tls_.SetVerify(true);
    } else if (ConfigNameIs(setting.value, "false") || ConfigNameIs(setting.value, "no") || setting.value == "0") {
      o.tls_.SetVerify(false);
    } else {
      // Elsewhere any other text means false; here a typing slip must not
      // switch the server's certificate check off.
      result.code = kErrTls;
      result.message = "TlsVerify takes true or false; the setting is unchanged.";
    }
    return true;
  }
  if (ConfigNameIs(setting.name, "FirewallData")) {
    if (setting.isSet && o.tunnel_.SetFirewallData(setting.value) != 0) {
      result.code = kErrOutOfMemory;
      result.message = "Out of memory.";
    }
    return true;
  }
  return false;
}

}  // namespace rssvane
