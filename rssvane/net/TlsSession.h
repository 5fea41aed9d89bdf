#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>

// OpenSSL's types, so that only TlsSession.cpp includes its headers.
struct ssl_ctx_st;
struct ssl_st;
struct ssl_session_st;
struct bio_st;

namespace rssvane {

// How a TLS client checks its server (the settings TlsCaFile and TlsVerify).
struct TlsTrust {
  std::string caFile;  // a PEM bundle trusted instead of the system's store; empty: the system's
  bool verify = true;  // false accepts any certificate for any name
  bool operator==(const TlsTrust&) const = default;
};

// One trust loaded into OpenSSL: TLS 1.2 at least, the trusted certificates
// read once and shared by every session started from it.
class TlsContext {
 public:

  // 0, or kErrTls with errorText when the CA file cannot be read (the old
  // trust, if any, is kept).
  int Load(const TlsTrust& trust, std::string& errorText);
  bool Loaded() const noexcept { return context_ != nullptr; }
  const TlsTrust& Trust() const noexcept { return trust_; }
  ssl_ctx_st* Handle() const noexcept { return context_.get(); }

 private:
  struct Free {
    void operator()(ssl_ctx_st* context) const noexcept;
  };
  std::unique_ptr<ssl_ctx_st, Free> context_;
  TlsTrust trust_;
};

// A session that a later connection to the same server may resume.
class TlsResumption {
 public:
  TlsResumption() = default;
  ~TlsResumption();
  TlsResumption(const TlsResumption&) = delete;
  TlsResumption& operator=(const TlsResumption&) = delete;

  // The session kept for server under the context's trust, or null: a
  // session checked under one trust is never resumed under another.
  ssl_session_st* For(std::string_view server, const TlsContext& context) const noexcept;
  // Takes over a reference to session (null forgets the one kept).
  void Keep(std::string_view server, const TlsContext& context, ssl_session_st* session) noexcept;
  void Forget() noexcept;

 private:
  ssl_session_st* session_ = nullptr;
  std::string server_;
  TlsTrust trust_;
};

// The client side of one TLS connection, over memory and free of sockets:
// the peer's bytes go in (ReceiveSpace and Received, or Feed), plaintext
// comes out (Read), plaintext goes in (Write) and the bytes for the peer
// come out (Outgoing and Sent). The name the session is started for is sent
// as the server name (SNI) unless it is an IP address, and the server's
// certificate must carry it, or that address, and chain to the trust.
//
// Driver contract (the TLS layer of TcpConnection): Start, send Outgoing;
// then, until Handshake says kDone or kFailed, receive, hand the bytes over
// and call Handshake, sending Outgoing after each call. Afterwards Read
// until kWantRead, receiving only then; Write only when Outgoing is empty.
// Every call may leave bytes to send. Nothing here blocks or allocates per
// byte; the buffers between the session and the socket are bounded.
class TlsSession {
 public:
  enum class Status {
    kDone,      // Handshake: established; Read, Write: bytes were moved
    kWantRead,  // more of the peer's bytes are needed first
    kWantSend,  // Write: Outgoing must be sent first
    kClosed,    // Read: the peer ended the session (close_notify)
    kFailed,    // FailureText() says why; the session is over
  };

  // The most plaintext one Write takes: one TLS record.
  static constexpr size_t kMaxWrite = 16384;

  TlsSession();
  ~TlsSession();
  TlsSession(const TlsSession&) = delete;
  TlsSession& operator=(const TlsSession&) = delete;

  // Begins the handshake for serverName (a host name, or an IPv4 or IPv6
  // address, brackets allowed); the ClientHello is then in Outgoing. 0, or
  // kErrTls with FailureText(). resume, when given, is offered to the server.
  int Start(const TlsContext& context, std::string_view serverName, ssl_session_st* resume = nullptr);
  bool Started() const noexcept { return ssl_ != nullptr; }
  bool Established() const noexcept { return established_; }
  // Whether the session of the last handshake was a resumed one.
  bool Resumed() const noexcept;
  // The session to resume later (a new reference, or null).
  ssl_session_st* Session() const noexcept;

  Status Handshake();

  // Where the peer's next bytes may be received; empty while the session
  // still holds as many unread as it takes.
  std::span<char> ReceiveSpace() noexcept;
  // n bytes were received into ReceiveSpace().
  void Received(size_t n) noexcept;
  // Copies bytes in (those that came with a firewall's reply); false, taking
  // none, when they do not fit.
  bool Feed(std::string_view bytes) noexcept;

  // Plaintext into out: kDone with n > 0, kWantRead, kClosed or kFailed.
  Status Read(std::span<char> out, size_t& n);
  // Encrypts up to kMaxWrite bytes of plaintext: kDone with consumed > 0
  // (empty plaintext: kDone, 0), kWantSend while Outgoing holds bytes, or
  // kFailed.
  Status Write(std::string_view plaintext, size_t& consumed);
  // Queues the close_notify alert that ends the session politely. OpenSSL
  // lets only a session ended this way be resumed.
  void Close();

  // The bytes waiting for the peer (possibly only the first part of them);
  // Sent(n) drops the first n.
  std::string_view Outgoing() const noexcept;
  void Sent(size_t n) noexcept;
  bool HasOutgoing() const noexcept { return !Outgoing().empty(); }

  int Failure() const noexcept { return failure_; }
  std::string_view FailureText() const noexcept { return failureText_; }

  // Ends the session and forgets it; Start may begin another.
  void Reset() noexcept;

 private:
  Status Failed(std::string_view doing, int result);

  ssl_st* ssl_ = nullptr;
  bio_st* network_ = nullptr;  // our end of the pair; the session holds the other
  std::string serverName_;
  bool established_ = false;
  int failure_ = 0;
  std::string failureText_;
};

}  // namespace rssvane
