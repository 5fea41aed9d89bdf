#include "net/TlsLayer.h"

#include "base/Codes.h"
#include "net/NetCodes.h"
#include "net/SocketLibrary.h"
#include "net/TcpConnection.h"

namespace rssvane {

using Status = TlsSession::Status;

void TlsLayer::Use(bool on, std::string_view serverName) {
  wanted_ = on;
  wantedName_ = on ? serverName : std::string_view();
}

int TlsLayer::Connecting() {
  Reset();
  failure_.clear();
  inUse_ = wanted_;
  if (!inUse_) return 0;
  serverName_ = wantedName_;
  resumeKey_ = serverName_ + ":" + std::to_string(owner_.RemotePort());
  std::string errorText;
  if (!context_.Loaded() || !(context_.Trust() == trust_)) {
    if (context_.Load(trust_, errorText) != 0) {
      inUse_ = false;
      return owner_.Fail(kErrTls, errorText);
    }
  }
  if (session_.Start(context_, serverName_, resumption_.For(resumeKey_, context_)) != 0) {
    inUse_ = false;
    return owner_.Fail(kErrTls, session_.FailureText());
  }
  return 0;
}

void TlsLayer::TunnelOpen() {
  if (!inUse_) return owner_.OnConnected(0);
  state_ = State::kHandshaking;
  // The ClientHello, a few hundred bytes into a fresh socket.
  if (int rc = Flush(true); rc != 0 && rc != kWsaWouldBlock) {
    Refuse("The TLS handshake could not be sent: " + DescriptionForCode(rc, {}));
  }
}

bool TlsLayer::Negotiate() {
  const SocketEntryTable& api = Sockets();
  const uint32_t connection = owner_.connection_;
  for (;;) {
    const Status status = session_.Handshake();
    const int sent = Flush(true);
    if (sent != 0 && sent != kWsaWouldBlock) {
      Refuse("The TLS handshake could not be sent: " + DescriptionForCode(sent, {}));
      return false;
    }
    if (status == Status::kDone) {
      state_ = State::kOpen;
      owner_.OnConnected(0);
      return Still(connection) && state_ == State::kOpen;
    }
    if (status == Status::kFailed) {
      Refuse(session_.FailureText());
      return false;
    }
    // The rest waits for FD_WRITE, which runs the handshake again.
    if (status == Status::kWantSend) {
      if (sent == kWsaWouldBlock) return false;
      continue;
    }
    std::span<char> space = session_.ReceiveSpace();
    const long n = api.recv(owner_.socket_, space.data(), space.size());
    if (n < 0) {
      const int code = api.WSAGetLastError();
      if (code != kWsaWouldBlock) Refuse("TLS handshake failed: " + DescriptionForCode(code, {}));
      return false;
    }
    if (n == 0) {
      Refuse("TLS handshake failed: the server closed the connection.");
      return false;
    }
    owner_.NoteActivity();
    session_.Received(static_cast<size_t>(n));
  }
}

long TlsLayer::Receive(std::span<char> space, int& code) {
  const SocketEntryTable& api = Sockets();
  for (;;) {
    size_t n = 0;
    const Status status = session_.Read(space, n);
    // Reading may have left an alert or a key update to answer.
    const int sent = Flush(true);
    switch (status) {
      case Status::kDone: return static_cast<long>(n);
      case Status::kClosed: return 0;
      case Status::kFailed:
        failure_ = session_.FailureText();
        code = kErrTls;
        return -1;
      case Status::kWantSend:
        if (sent != 0) {
          code = sent;
          return -1;
        }
        continue;
      case Status::kWantRead: break;
    }
    std::span<char> in = session_.ReceiveSpace();
    const long received = api.recv(owner_.socket_, in.data(), in.size());
    if (received < 0) {
      code = api.WSAGetLastError();
      return -1;
    }
    // The peer closed without close_notify, which HTTP servers commonly
    // do: the end of the stream, as on a plain connection.
    if (received == 0) return 0;
    session_.Received(static_cast<size_t>(received));
  }
}

int TlsLayer::Send(std::string_view plaintext, size_t& taken) {
  taken = 0;
  if (int rc = Flush(false)) return rc;
  while (taken < plaintext.size()) {
    size_t consumed = 0;
    if (session_.Write(plaintext.substr(taken), consumed) == Status::kFailed) {
      return owner_.Fail(kErrTls, session_.FailureText());
    }
    taken += consumed;
    if (int rc = Flush(false)) return rc;
  }
  return 0;
}

int TlsLayer::Flush(bool quiet) {
  // The ClientHello waits for the end of a firewall's negotiation.
  if (state_ != State::kHandshaking && state_ != State::kOpen) return 0;
  while (session_.HasOutgoing()) {
    const std::string_view out = session_.Outgoing();
    const int rc = owner_.SendRaw(out.data(), out.size(), false, quiet);
    if (rc != 0 && rc != kWsaWouldBlock) return rc;
    session_.Sent(owner_.LastSendCount());
    if (rc != 0) return rc;
  }
  return 0;
}

void TlsLayer::Closing() {
  if (state_ != State::kOpen) return;
  session_.Close();
  // One try: the socket is about to close whatever happens.
  Flush(true);
  resumption_.Keep(resumeKey_, context_, session_.Session());
}

void TlsLayer::Reset() noexcept {
  session_.Reset();
  state_ = State::kIdle;
  inUse_ = false;
}

void TlsLayer::Refuse(std::string_view text) {
  const uint32_t connection = owner_.connection_;
  state_ = State::kRefused;
  failure_ = text;
  const std::string reason(text);
  owner_.Fail(kErrTls, reason);
  owner_.OnError(kErrTls, reason);
  if (!Still(connection)) return;
  owner_.OnConnected(kErrTls);
  if (Still(connection)) owner_.Disconnect(0);
}

bool TlsLayer::Still(uint32_t connection) const noexcept {
  return owner_.connection_ == connection && owner_.socket_ != kInvalidSocket && !owner_.closePending_;
}

}  // namespace rssvane
