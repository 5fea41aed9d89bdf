#include "net/TlsSession.h"

#include <arpa/inet.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "net/NetCodes.h"

namespace rssvane {

namespace {

// What one receive may bring in (as much as the largest line buffer, so
// that what came with a firewall's reply always fits), and room for the
// records the session
// writes before the driver sends them: two whole records, so that a Write
// into an empty buffer never has to wait.
constexpr size_t kIncomingBytes = 64 * 1024;
constexpr size_t kOutgoingBytes = 2 * (16384 + 2048 + 5);

// The oldest error OpenSSL queued on this thread, as its reason text, and an
// empty queue for the next operation.
std::string TakeOpenSslReason() {
  const unsigned long error = ERR_get_error();
  ERR_clear_error();
  if (error == 0) return {};
  if (const char* reason = ERR_reason_error_string(error)) return reason;
  char text[256];
  ERR_error_string_n(error, text, sizeof text);
  return text;
}

// "[::1]" -> "::1"; other names as they are.
std::string_view Unbracketed(std::string_view name) noexcept {
  if (name.size() >= 2 && name.front() == '[' && name.back() == ']') return name.substr(1, name.size() - 2);
  return name;
}

// SSL_get_error reads the thread's error queue, which must be empty before
// each operation; emptying a queue that is empty costs a record's reading
// a noticeable share, so it is only looked at.
void ClearOpenSslErrors() noexcept {
  if (ERR_peek_error() != 0) ERR_clear_error();
}

bool IsIpAddress(const std::string& name) noexcept {
  unsigned char address[16];
  return inet_pton(AF_INET, name.c_str(), address) == 1 || inet_pton(AF_INET6, name.c_str(), address) == 1;
}

}  // namespace

void TlsContext::Free::operator()(SSL_CTX* context) const noexcept { SSL_CTX_free(context); }

int TlsContext::Load(const TlsTrust& trust, std::string& errorText) {
  ERR_clear_error();
  SSL_CTX* context = SSL_CTX_new(TLS_client_method());
  if (context == nullptr) {
    errorText = "TLS is not available: " + TakeOpenSslReason();
    return kErrTls;
  }
  SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
  SSL_CTX_set_read_ahead(context, 1);
  SSL_CTX_set_verify(context, trust.verify ? SSL_VERIFY_PEER : SSL_VERIFY_NONE, nullptr);
  if (trust.verify) {
    const bool loaded = trust.caFile.empty()
                            ? SSL_CTX_set_default_verify_paths(context) == 1
                            : SSL_CTX_load_verify_locations(context, trust.caFile.c_str(), nullptr) == 1;
    if (!loaded) {
      errorText = trust.caFile.empty() ? "The system's trusted certificates cannot be read: "
                                       : "The TLS CA file " + trust.caFile + " cannot be read: ";
      errorText += TakeOpenSslReason();
      SSL_CTX_free(context);
      return kErrTls;
    }
  }
  context_.reset(context);
  trust_ = trust;
  return 0;
}

TlsResumption::~TlsResumption() { Forget(); }

ssl_session_st* TlsResumption::For(std::string_view server, const TlsContext& context) const noexcept {
  return session_ != nullptr && server == server_ && context.Trust() == trust_ ? session_ : nullptr;
}

void TlsResumption::Keep(std::string_view server, const TlsContext& context, ssl_session_st* session) noexcept {
  Forget();
  if (session == nullptr) return;
  if (SSL_SESSION_is_resumable(session) != 1) {
    SSL_SESSION_free(session);
    return;
  }
  try {
    server_ = server;
    trust_ = context.Trust();
  } catch (...) {
    SSL_SESSION_free(session);
    return;
  }
  session_ = session;
}

void TlsResumption::Forget() noexcept {
  SSL_SESSION_free(session_);
  session_ = nullptr;
}

TlsSession::TlsSession() = default;

TlsSession::~TlsSession() { Reset(); }

void TlsSession::Reset() noexcept {
  SSL_free(ssl_);  // frees the session's end of the pair too
  BIO_free(network_);
  ssl_ = nullptr;
  network_ = nullptr;
  established_ = false;
  failure_ = 0;
  failureText_.clear();
}

int TlsSession::Start(const TlsContext& context, std::string_view serverName, ssl_session_st* resume) {
  Reset();
  ERR_clear_error();
  serverName_ = Unbracketed(serverName);
  auto fail = [this](std::string text) {
    failure_ = kErrTls;
    failureText_ = std::move(text);
    SSL_free(ssl_);
    BIO_free(network_);
    ssl_ = nullptr;
    network_ = nullptr;
    return kErrTls;
  };
  if (!context.Loaded()) return fail("TLS is not set up: no trusted certificates were loaded.");
  if (serverName_.empty() || serverName_.find('\0') != std::string::npos) {
    return fail("TLS needs the server's name, and it is empty or holds a zero byte.");
  }
  ssl_ = SSL_new(context.Handle());
  BIO* internal = nullptr;
  if (ssl_ == nullptr || BIO_new_bio_pair(&internal, kOutgoingBytes, &network_, kIncomingBytes) != 1) {
    return fail("TLS cannot start: " + TakeOpenSslReason());
  }
  SSL_set_bio(ssl_, internal, internal);
  SSL_set_connect_state(ssl_);
  const bool address = IsIpAddress(serverName_);
  bool named = true;
  if (address) {
    named = X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), serverName_.c_str()) == 1;
  } else {
    // A wildcard stands for one whole label, never part of one.
    SSL_set_hostflags(ssl_, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    std::string sni = serverName_;
    if (sni.ends_with('.')) sni.pop_back();  // the absolute form names the same host
    named = SSL_set1_host(ssl_, sni.c_str()) == 1 && SSL_set_tlsext_host_name(ssl_, sni.c_str()) == 1;
  }
  if (!named) return fail("TLS cannot check the server's name " + serverName_ + ": " + TakeOpenSslReason());
  if (resume != nullptr) SSL_set_session(ssl_, resume);
  if (Handshake() == Status::kFailed) return fail(failureText_);
  return 0;
}

TlsSession::Status TlsSession::Handshake() {
  if (failure_ != 0 || ssl_ == nullptr) return Status::kFailed;
  if (established_) return Status::kDone;
  ERR_clear_error();
  const int result = SSL_do_handshake(ssl_);
  if (result == 1) {
    established_ = true;
    return Status::kDone;
  }
  switch (SSL_get_error(ssl_, result)) {
    case SSL_ERROR_WANT_READ: return Status::kWantRead;
    case SSL_ERROR_WANT_WRITE: return Status::kWantSend;
    default: return Failed("handshake", result);
  }
}

TlsSession::Status TlsSession::Failed(std::string_view doing, int result) {
  const int error = SSL_get_error(ssl_, result);
  const long verified = SSL_get_verify_result(ssl_);
  std::string reason = TakeOpenSslReason();
  failure_ = kErrTls;
  if (!established_ && (SSL_get_verify_mode(ssl_) & SSL_VERIFY_PEER) && verified != X509_V_OK) {
    failureText_ = "TLS certificate verification failed for " + serverName_ + ": " +
                   X509_verify_cert_error_string(verified);
  } else if (!reason.empty()) {
    failureText_ = "TLS " + std::string(doing) + " failed: " + reason;
  } else if (error == SSL_ERROR_ZERO_RETURN) {
    failureText_ = "TLS " + std::string(doing) + " failed: the server ended the session.";
  } else {
    failureText_ = "TLS " + std::string(doing) + " failed.";
  }
  return Status::kFailed;
}

bool TlsSession::Resumed() const noexcept { return ssl_ != nullptr && SSL_session_reused(ssl_) == 1; }

ssl_session_st* TlsSession::Session() const noexcept {
  return ssl_ != nullptr && established_ ? SSL_get1_session(ssl_) : nullptr;
}

std::span<char> TlsSession::ReceiveSpace() noexcept {
  if (network_ == nullptr) return {};
  char* space = nullptr;
  const int n = BIO_nwrite0(network_, &space);
  return n > 0 ? std::span<char>(space, static_cast<size_t>(n)) : std::span<char>();
}

void TlsSession::Received(size_t n) noexcept {
  char* space = nullptr;
  if (network_ != nullptr && n > 0) BIO_nwrite(network_, &space, static_cast<int>(n));
}

bool TlsSession::Feed(std::string_view bytes) noexcept {
  if (bytes.empty()) return true;
  if (network_ == nullptr || BIO_ctrl_get_write_guarantee(network_) < bytes.size()) return false;
  while (!bytes.empty()) {
    std::span<char> space = ReceiveSpace();
    const size_t n = std::min(space.size(), bytes.size());
    std::memcpy(space.data(), bytes.data(), n);
    Received(n);
    bytes.remove_prefix(n);
  }
  return true;
}

TlsSession::Status TlsSession::Read(std::span<char> out, size_t& n) {
  n = 0;
  if (failure_ != 0 || !established_) return Status::kFailed;
  if (out.empty()) return Status::kDone;
  ClearOpenSslErrors();
  const int result = SSL_read(ssl_, out.data(), static_cast<int>(std::min<size_t>(out.size(), INT_MAX)));
  if (result > 0) {
    n = static_cast<size_t>(result);
    return Status::kDone;
  }
  switch (SSL_get_error(ssl_, result)) {
    case SSL_ERROR_WANT_READ: return Status::kWantRead;
    case SSL_ERROR_WANT_WRITE: return Status::kWantSend;
    case SSL_ERROR_ZERO_RETURN: return Status::kClosed;
    default: return Failed("read", result);
  }
}

TlsSession::Status TlsSession::Write(std::string_view plaintext, size_t& consumed) {
  consumed = 0;
  if (failure_ != 0 || !established_) return Status::kFailed;
  if (plaintext.empty()) return Status::kDone;
  if (HasOutgoing()) return Status::kWantSend;
  ClearOpenSslErrors();
  const int result = SSL_write(ssl_, plaintext.data(), static_cast<int>(std::min(plaintext.size(), kMaxWrite)));
  if (result > 0) {
    consumed = static_cast<size_t>(result);
    return Status::kDone;
  }
  if (SSL_get_error(ssl_, result) == SSL_ERROR_WANT_WRITE) return Status::kWantSend;
  return Failed("write", result);
}

void TlsSession::Close() {
  if (ssl_ == nullptr || !established_ || failure_ != 0) return;
  ERR_clear_error();
  SSL_shutdown(ssl_);
  ERR_clear_error();
}

std::string_view TlsSession::Outgoing() const noexcept {
  if (network_ == nullptr) return {};
  char* pending = nullptr;
  const int n = BIO_nread0(network_, &pending);
  return n > 0 ? std::string_view(pending, static_cast<size_t>(n)) : std::string_view();
}

void TlsSession::Sent(size_t n) noexcept {
  char* pending = nullptr;
  if (network_ != nullptr && n > 0) BIO_nread(network_, &pending, static_cast<int>(n));
}

}  // namespace rssvane
