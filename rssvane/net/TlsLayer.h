#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "net/TlsSession.h"

namespace rssvane {

class TcpConnection;

// TLS between a TcpConnection's firewall tunnel and its line buffer. The
// layer above asks for it before connecting (Use, with the name the
// server's certificate must carry); once the tunnel is open the layer runs
// the handshake on the raw socket and only then reports the connection as
// made. From there on what is received is decrypted before the line buffer
// cuts it, and what is sent is encrypted. Without TLS everything passes by.
//
// The owner drives it as it drives the tunnel:
// - Connecting(): a connect is starting; loads the trust when it changed
//   and begins the session. A failure (a CA file that cannot be read) is
//   the connect's failure.
// - TunnelOpen(): sends the ClientHello, or reports the connection made
//   when this connection has no TLS.
// - Handshaking(): the read pass hands control to Negotiate instead of
//   reading for the line buffer.
// - Receive(space): plaintext for the line buffer once established.
// - Send(bytes): encrypts and sends; Flush sends what is still pending
//   (also on FD_WRITE).
// - Closing(): the connection is being closed: says close_notify and keeps
//   the session for the next connection to the same server.
// A failed handshake fires Error and Connected with 119 and OpenSSL's
// reason and closes the connection; until it is closed, Refused() holds.
class TlsLayer {
 public:
  explicit TlsLayer(TcpConnection& owner) noexcept : owner_(owner) {}

  // The settings TlsCaFile and TlsVerify; they apply from the next connect.
  const TlsTrust& Trust() const noexcept { return trust_; }
  void SetCaFile(std::string_view path) { trust_.caFile = path; }
  void SetVerify(bool verify) noexcept { trust_.verify = verify; }

  // TLS for the connections from the next connect on, checked against
  // serverName (the host of the URL, not of a proxy); off: none.
  void Use(bool on, std::string_view serverName);

  int Connecting();
  void TunnelOpen();
  // Bytes that came with a firewall's reply, for the session; false when
  // they do not fit.
  bool Feed(std::string_view bytes) noexcept { return session_.Feed(bytes); }
  bool InUse() const noexcept { return inUse_; }
  bool Handshaking() const noexcept { return state_ == State::kHandshaking; }
  bool Established() const noexcept { return state_ == State::kOpen; }
  bool Refused() const noexcept { return state_ == State::kRefused; }
  // No TLS on this connection, or the session is established.
  bool Ready() const noexcept { return !inUse_ || state_ == State::kOpen; }

  // Runs the handshake on what arrives; true when the read pass may go on
  // (the session is established and the connection still there).
  bool Negotiate();
  // Plaintext into space: n > 0, 0 at the end of the stream (close_notify
  // or the peer's close), or -1 with code: the socket's, or kErrTls with
  // FailureText().
  long Receive(std::span<char> space, int& code);
  // Why the last connection's TLS failed, kept after it is closed; empty
  // when it did not.
  std::string_view FailureText() const noexcept { return failure_; }
  // Encrypts and sends: 0, 10035 with taken plaintext bytes accepted (the
  // rest to be offered again), or the failure's code.
  int Send(std::string_view plaintext, size_t& taken);
  // Sends what the session holds for the peer: 0, 10035 or the socket's
  // code, which only a caller that reports it (not quiet) leaves as the
  // connection's last error.
  int Flush(bool quiet);
  void Closing();
  void Reset() noexcept;

 private:
  enum class State { kIdle, kHandshaking, kOpen, kRefused };

  void Refuse(std::string_view text);
  bool Still(uint32_t connection) const noexcept;

  TcpConnection& owner_;
  TlsTrust trust_;
  bool wanted_ = false;  // for the next connect
  std::string wantedName_;
  bool inUse_ = false;  // for this connection
  std::string serverName_;
  std::string resumeKey_;  // server name and port
  State state_ = State::kIdle;
  std::string failure_;
  TlsContext context_;
  TlsSession session_;
  TlsResumption resumption_;
};

}  // namespace rssvane
