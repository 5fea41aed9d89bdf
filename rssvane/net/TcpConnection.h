#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/GrowString.h"
#include "net/FirewallTunnel.h"
#include "net/LineBuffer.h"
#include "net/TlsLayer.h"
#include "net/SocketObject.h"

namespace rssvane {

// The one client socket of a component: resolves the remote host, connects
// without blocking, applies the socket options, sends, and receives into a
// LineBuffer that cuts the stream into lines or raw pieces for the layer
// above (DataIn). The socket library's notifications arrive as messages of
// the object's window and become the connection events: ConnectionStatus,
// Connected, Disconnected and Error. Everything received passes the
// FirewallTunnel first, then TLS when the layer above asked for it
// (TlsLayer).
//
// Every notification handler may run inside a blocking call of the same
// object (the wait serves the queue): a read pass never nests, and a
// disconnect asked for during one takes effect when the pass ends.
class TcpConnection : public SocketObject {
 public:
  TcpConnection();
  ~TcpConnection() override;

  // Resolved at once; refused with 101 while a socket exists. A name that
  // does not resolve leaves no address, so connecting fails with 102.
  // Through a firewall (or a proxy, FirewallTunnel::SetProxy) the name is
  // not looked up here: the connection goes to the firewall host, and the
  // tunnel names the remote host to it.
  int SetRemoteHost(std::string_view host);
  std::string_view RemoteHost() const noexcept { return remoteHost_.View(); }
  // 0 to 65535; refused with 100 while a socket exists.
  int SetRemotePort(int32_t port);
  int32_t RemotePort() const noexcept { return remotePort_; }

  // Starts a connection: 0 when it is under way (the outcome comes as the
  // Connected event), or the code of a failure that left no socket.
  int Connect();
  // Closes the connection; code's high 16 bits are the reported error.
  // Inside a read pass the close waits for the pass to end.
  int Disconnect(int32_t code);
  // Connected, out of the firewall negotiation and, with TLS, out of the
  // handshake.
  bool Connected() const noexcept { return tunnel_.Ready() && tls_.Ready(); }
  // The firewall settings: FirewallType, FirewallHost, FirewallPort,
  // FirewallUser and FirewallPassword. A change applies from the next
  // connect on.
  FirewallTunnel& Firewall() noexcept { return tunnel_; }
  const FirewallTunnel& Firewall() const noexcept { return tunnel_; }
  // TLS from the next connect on, with serverName as the name the server's
  // certificate must carry (and the one sent to it); off: none.
  void UseTls(bool on, std::string_view serverName) { tls_.Use(on, serverName); }
  // Why TLS failed on the last connection (a handshake, or a record that
  // broke it), also once it is closed; empty when it did not.
  std::string_view TlsFailureText() const noexcept { return tls_.FailureText(); }

  // Sends what the socket takes now: 0 when all of it, 10035 when only
  // LastSendCount bytes, 10057 when not connected (requireReady: not out of
  // the firewall negotiation either), or the socket's error. Over TLS the
  // bytes are encrypted, and a length of 0 sends what is still pending.
  int Send(const char* bytes, size_t length, bool requireReady);
  // Sends everything, waiting while the socket is full: 0, 301 when the
  // wait ends, or the socket's error.
  int SendAll(const char* bytes, size_t length);
  uint32_t LastSendCount() const noexcept { return lastSendCount_; }

  // The line terminator; empty is raw mode. Bytes already buffered are cut
  // again under the new rule.
  void SetLineTerminator(std::string_view terminator);
  // Whether received data is read and delivered; false pauses reading.
  void SetAcceptData(bool accept);
  bool AcceptData() const noexcept { return acceptData_; }
  void SetKeepAlive(bool keepAlive) noexcept { keepAlive_ = keepAlive; }
  // The socket receive buffer size (SO_RCVBUF above 2048, and only when
  // the socket has less room, so that the system may still grow it) of the
  // next connect; also the most raw data (a body) read and delivered as one
  // piece, up to 65536, when that is more than MaxLineLength.
  void SetInBufferSize(int32_t size) noexcept { inBufferSize_ = size; }

  Socket SocketHandle() const noexcept { return socket_; }
  // MaxLineLength, SocketHandle, InBufferSize, OutBufferSize, TcpNoDelay
  // (TCP_NODELAY at the TCP level), FirewallData, and TLS's TlsCaFile and
  // TlsVerify.
  ConfigLayer& TcpSettings() noexcept { return settings_; }

  void Destroy() override;

 protected:
  // The hooks of the layer above. The defaults fire the events: a plain
  // connection's data goes nowhere.
  virtual void OnConnected(int code);
  virtual void OnDisconnected(int code);
  virtual void DataIn(std::string_view bytes, bool terminated);
  // Fires Error.
  virtual void OnError(int code, std::string_view text);
  void FireConnectionStatus(std::string_view text, int code);
  void FireDisconnected(int code);
  // What an event says of code: "OK" for 0, else the last error text, else
  // the socket library's text.
  std::string DescriptionOf(int code) const;

  void HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

 private:
  friend class FirewallTunnel;
  friend class TlsLayer;

  class Settings final : public ConfigLayer {
   public:
    explicit Settings(TcpConnection& owner) noexcept : owner_(owner) {}
    bool Configure(const ConfigSetting& setting, ConfigResult& result) override;

   private:
    TcpConnection& owner_;
  };

  // The bytes as they are, whatever TLS there is; quiet leaves the last
  // error alone.
  int SendRaw(const char* bytes, size_t length, bool requireReady, bool quiet);
  bool Negotiating() const noexcept { return tunnel_.Negotiating() || tls_.Handshaking(); }
  int ApplyOptions();
  int ApplyBufferSize(int option, int32_t size);
  int ApplyNoDelay();
  void ConnectCompleted(int error);
  // A read pass that ends by finishing a disconnect it left pending, or by
  // closing a connection it found broken.
  void RunReadPass(int mode);
  int ReadPass(int mode);
  bool Deliver(std::string_view bytes, bool terminated);
  int FinishDisconnect(int32_t code);
  void CloseSocket() noexcept;
  void Reset() noexcept;
  // What followed a firewall's reply: the first bytes of the stream.
  bool AppendReceived(std::string_view bytes) noexcept {
    return tls_.InUse() ? tls_.Feed(bytes) : buffer_.Append(bytes);
  }
  void PostRead();

  // Raw data read past the line buffer: up to InBufferSize (at most
  // 65536) bytes at a time; empty when there is no room for it.
  size_t RawPieceCapacity() const noexcept;
  std::span<char> RawPieceSpace();

  int32_t inBufferSize_ = 2048;
  int32_t outBufferSize_ = 2048;
  Socket socket_ = kInvalidSocket;
  uint32_t remoteAddress_ = 0;
  GrowString remoteHost_;
  bool resolveAtConnect_ = false;  // set through a firewall, and not looked up yet
  int32_t remotePort_ = 0;
  uint32_t lastSendCount_ = 0;
  uint32_t connection_ = 0;  // counts connects, to tell connections apart
  FirewallTunnel tunnel_{*this};
  TlsLayer tls_{*this};
  int32_t pendingCode_ = 0;
  bool connected_ = false;
  bool acceptData_ = true;
  bool reading_ = false;
  bool keepAlive_ = false;
  bool closePending_ = false;
  bool tcpNoDelay_ = false;
  LineBuffer buffer_;
  std::vector<char> rawPiece_;
  Settings settings_{*this};
};

}  // namespace rssvane
