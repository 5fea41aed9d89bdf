#include "http/HttpClient.h"

#include <algorithm>
#include <limits>
#include <memory>

#include "base/AsciiText.h"
#include "base/Codes.h"
#include "feed/ConfigString.h"
#include "http/HttpText.h"
#include "http/Request.h"
#include "net/MessageQueue.h"
#include "net/NetCodes.h"

namespace rssvane {

namespace {

constexpr std::string_view kBusyText = "Busy performing current action.";
// Wait steps of 0 ms: before an action returns, so that notifications
// already queued are handled inside it, and before a redirect is followed.
constexpr int kQueuedNotificationSteps = 100;
constexpr int kRedirectSteps = 10;
// What an asynchronous exchange, run inside the connection's completion,
// may take.
constexpr int32_t kAsyncTimeoutSeconds = 10;

int16_t EventCode(int32_t code) noexcept {
  return static_cast<int16_t>(std::clamp<int32_t>(code, std::numeric_limits<int16_t>::min(),
                                                  std::numeric_limits<int16_t>::max()));
}

// The published count is 32-bit: past 2 GiB it stays at its largest value
// rather than turning negative.
int32_t EventCount(uint64_t count) noexcept {
  return static_cast<int32_t>(std::min<uint64_t>(count, std::numeric_limits<int32_t>::max()));
}

bool HasToken(std::string_view list, std::string_view token) noexcept {
  while (!list.empty()) {
    size_t comma = list.find(',');
    std::string_view item = list.substr(0, comma);
    while (item.starts_with(' ') || item.starts_with('\t')) item.remove_prefix(1);
    while (item.ends_with(' ') || item.ends_with('\t')) item.remove_suffix(1);
    if (EqualsIgnoreCase(item, token)) return true;
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return false;
}

}  // namespace

std::string CharsetParameter(std::string_view contentType) {
  constexpr size_t npos = std::string_view::npos;
  auto isSpace = [](char c) { return c == ' ' || c == '\t'; };
  const size_t size = contentType.size();
  size_t at = contentType.find(';');
  while (at != npos) {
    ++at;
    while (at < size && isSpace(contentType[at])) ++at;
    size_t nameEnd = at;
    while (nameEnd < size && contentType[nameEnd] != '=' && contentType[nameEnd] != ';') ++nameEnd;
    if (nameEnd == size || contentType[nameEnd] == ';') {
      at = nameEnd == size ? npos : nameEnd;
      continue;
    }
    std::string_view name = contentType.substr(at, nameEnd - at);
    while (!name.empty() && isSpace(name.back())) name.remove_suffix(1);
    size_t v = nameEnd + 1;
    while (v < size && isSpace(contentType[v])) ++v;
    std::string text;
    if (v < size && contentType[v] == '"') {
      // A quoted string: a backslash takes the next byte as it is.
      for (++v; v < size && contentType[v] != '"'; ++v) {
        if (contentType[v] == '\\' && v + 1 < size) ++v;
        text += contentType[v];
      }
      at = contentType.find(';', v);
    } else {
      at = contentType.find(';', v);
      text = contentType.substr(v, (at == npos ? size : at) - v);
      while (!text.empty() && isSpace(text.back())) text.pop_back();
    }
    if (EqualsIgnoreCase(name, "charset")) return text;
  }
  return {};
}

HttpClient::HttpClient() { SetInBufferSize(64000); }

HttpClient::~HttpClient() = default;

int HttpClient::SetUrl(std::string_view text, bool isRedirect) {
  ClearError();
  bool disconnect = false;
  std::string errorText;
  int rc = target_.Set(text, isRedirect, followRedirects_, disconnect, errorText);
  if (disconnect) Disconnect(0);
  if (rc != 0) return Fail(rc, errorText);
  challenge_.Reset();
  digestRetries_ = 0;
  if (int failed = SetCredentials(target_.User(), target_.Password())) {
    Disconnect(0);
    return failed;
  }
  return 0;
}

int HttpClient::SetUser(std::string_view user) { return SetCredentials(user, target_.Password()); }

int HttpClient::SetPassword(std::string_view password) { return SetCredentials(target_.User(), password); }

int HttpClient::SetCredentials(std::string_view user, std::string_view password) {
  ClearError();
  // Computed before anything is stored, so that a refused text changes nothing.
  std::string value;
  std::string errorText;
  if (int rc = ComputeAuthorization(authScheme_, user, password, challenge_, {verb_, target_.Path(), requestBody_},
                                    value, errorText)) {
    return Fail(rc, errorText);
  }
  std::string newUser(user);
  std::string newPassword(password);
  target_.SetUser(newUser);
  target_.SetPassword(newPassword);
  authorization_ = std::move(value);
  return 0;
}

int HttpClient::SetAccept(std::string_view accept) {
  ClearError();
  std::string errorText;
  if (int rc = RefuseControlBytes(accept, "Accept", errorText)) return Fail(rc, errorText);
  accept_ = accept;
  return 0;
}

int HttpClient::SetProxyCredential(bool isUser, std::string_view text) {
  std::string_view user = isUser ? text : std::string_view(proxyUser_);
  std::string_view password = isUser ? std::string_view(proxyPassword_) : text;
  std::string value;
  std::string errorText;
  if (int rc = ComputeProxyAuthorization(user, password, value, errorText)) return Fail(rc, errorText);
  // The proxy's credentials are the firewall's too, a host sets them once.
  FirewallTunnel& firewall = Firewall();
  if (int rc = isUser ? firewall.SetUser(text) : firewall.SetPassword(text)) return rc;
  (isUser ? proxyUser_ : proxyPassword_) = text;
  proxyAuthorization_ = std::move(value);
  return 0;
}

int HttpClient::Request(std::string_view url, HttpAction action, std::string body) {
  if (!Idle()) return Fail(kErrBusy, kBusyText);
  requestBody_ = std::move(body);
  if (int rc = SetUrl(url, false)) {
    requestBody_ = {};
    return rc;
  }
  return RunAction(action);
}

int HttpClient::RunAction(HttpAction action) {
  if (!Idle()) return Fail(kErrBusy, kBusyText);
  // A handler may destroy the owner while the action waits.
  std::shared_ptr<void> hold = HoldOwner();
  redirectsFollowed_ = 0;
  return Perform(action);
}

// One action with the redirects and the Digest retry it leads to: each runs
// as the next turn of this loop, so a chain of them never deepens the stack.
int HttpClient::Perform(HttpAction action) {
  action_ = action;
  verb_ = action == HttpAction::kPut ? "PUT" : "GET";
  int rc = 0;
  bool deferred = false;
  for (;;) {
    ArmDeadline();
    ClearInterrupt();
    ClearError();
    int waitResult = 0;
    rc = Exchange(deferred, waitResult);
    if (rc != 0 || deferred) break;
    Evaluation e = EvaluateResponse(parser_, {waitResult, action, authScheme_, followRedirects_, target_.Scheme(),
                                              digestRetries_, challenge_.stale, redirectsFollowed_});
    if (e.next == Evaluation::Next::kDigestRetry) {
      ++digestRetries_;
      rc = SetCredentials(target_.User(), target_.Password());
      if (rc != 0) break;
      // Without credentials or a nonce to answer with, the retry would ask
      // the same question again.
      if (authorization_.empty()) {
        rc = Fail(kErrHttp, parser_.StatusText());
        break;
      }
      continue;
    }
    if (e.next == Evaluation::Next::kRedirect) {
      rc = FollowRedirect(e);
      if (rc == 0) continue;
      break;
    }
    rc = e.code;
    if (rc != 0 && !e.errorText.empty()) Fail(rc, e.errorText);
    break;
  }
  digestRetries_ = 0;
  // A PUT's body may be large; an action waiting for its connection still
  // needs it.
  if (!deferred) requestBody_ = {};
  ServeQueuedNotifications();
  action_ = HttpAction::kNone;
  return rc;
}

int HttpClient::FollowRedirect(const Evaluation& evaluation) {
  std::string location(parser_.Location());
  if (int rc = SetUrl(location, true)) return rc;
  bool accept = evaluation.proposedAccept;
  if (ComponentEvents* events = Events()) events->FireRedirect(location, accept);
  if (!accept) return Fail(evaluation.code, evaluation.errorText);
  for (int i = 0; i < kRedirectSteps; ++i) {
    if (!WaitStep(0)) return FailWait();
  }
  ++redirectsFollowed_;
  return 0;
}

void HttpClient::ServeQueuedNotifications() {
  if (TimeoutMs() < 0) return;
  // The action's outcome is decided; what these steps meet (a deadline
  // just passed) must not change its text.
  const int code = LastError();
  const std::string text(LastErrorText());
  for (int i = 0; i < kQueuedNotificationSteps; ++i) {
    // Once nothing is queued the remaining steps would only ask the sockets
    // again, which costs a kept-alive connection most of its request rate.
    if (MessageQueue::ForThisThread().Waiting() == 0 || !WaitStep(0)) break;
  }
  if (code != 0) {
    Fail(code, text);
  } else {
    ClearError();
  }
}

int HttpClient::Exchange(bool& deferred, int& waitResult) {
  for (int attempt = 0;; ++attempt) {
    std::string request;
    if (int rc = PrepareRequest(request)) return rc;
    bool reused = false;
    if (int rc = OpenConnection(deferred, reused)) return rc;
    if (deferred) return 0;
    awaiting_ = true;
    connectionUsed_ = true;
    SetAcceptData(true);
    int rc = SendAll(request.data(), request.size());
    if (rc == 0 && action_ == HttpAction::kPut && !requestBody_.empty()) {
      rc = SendAll(requestBody_.data(), requestBody_.size());
    }
    waitResult = rc == 0 ? WaitForResponse() : 0;
    // A kept-alive connection that the server closed while it lay idle
    // fails before the first byte of an answer: the request goes once more,
    // on a new connection.
    bool deadConnection = reused && attempt == 0 && responseBytes_ == 0 && rc != kErrInterrupted &&
                          waitResult != kErrInterrupted && (rc != 0 || parser_.Failure() != 0);
    if (!deadConnection) {
      if (rc != 0) {
        // A request sent in part leaves the connection unusable.
        awaiting_ = false;
        Disconnect(0);
      }
      return rc;
    }
    awaiting_ = false;
    Disconnect(0);
  }
}

int HttpClient::PrepareRequest(std::string& request) {
  ClearError();
  parser_.Start({followRedirects_, maxTransferredData_, !acceptEncoding_.empty()});
  lastETag_.clear();
  lastModified_.clear();
  contentType_.clear();
  awaiting_ = false;
  serverCloses_ = false;
  responseBytes_ = 0;
  disconnectCode_ = 0;
  FollowTerminator();
  if (target_.Host().empty()) return Fail(kErrNoServer, "No server specified in URL");
  const bool tls = Secure();
  // https reaches a proxy through CONNECT and then speaks to the server
  // itself; any other scheme goes to the proxy in the absolute form.
  const bool viaProxy = !proxyServer_.empty() && !tls;
  if (proxyServer_.empty() && !tls && !EqualsIgnoreCase(target_.Scheme(), target_.DefaultScheme()) &&
      !EqualsIgnoreCase(target_.Scheme(), "http")) {
    return Fail(kErrUrlScheme, "Specified URLScheme is invalid.");
  }
  RequestFields fields;
  fields.verb = verb_;
  fields.scheme = target_.Scheme();
  fields.host = target_.Host();
  fields.port = target_.Port();
  fields.path = target_.Path();
  fields.httpVersion = httpVersion_;
  fields.viaProxy = viaProxy;
  fields.keepAlive = keepAlive_;
  fields.authorization = authorization_;
  fields.proxyAuthorization = proxyAuthorization_;
  fields.accept = accept_;
  fields.userAgent = userAgent_;
  fields.ifModifiedSince = ifModifiedSince_;
  fields.acceptEncoding = acceptEncoding_;
  fields.ifNoneMatch = ifNoneMatch_;
  std::string errorText;
  if (int rc = BuildRequest(fields, action_ != HttpAction::kPut, request, errorText)) return Fail(rc, errorText);
  if (action_ == HttpAction::kPut) request += ContentLengthBlock(requestBody_.size());
  return 0;
}

int HttpClient::OpenConnection(bool& deferred, bool& reused) {
  deferred = false;
  reused = false;
  const bool tls = Secure();
  const bool viaProxy = !proxyServer_.empty();
  const bool absoluteForm = viaProxy && !tls;
  const std::string_view host = absoluteForm ? std::string_view(proxyServer_) : target_.Host();
  const int32_t port = absoluteForm ? proxyPort_ : target_.Port();
  if (SocketHandle() != kInvalidSocket) {
    // Only a connection to this very server is reused; never one through a
    // proxy, which may have chosen its onward server by the last request.
    // An asynchronous action runs its exchange inside the completion of a
    // connection of its own.
    if (TimeoutMs() >= 0 && !viaProxy && Connected() && RemoteHost() == host && RemotePort() == port) {
      reused = connectionUsed_;
      return 0;
    }
    Disconnect(0);
  }
  if (tls && viaProxy && Firewall().Type() != fwNone) {
    // Two tunnels in a row are beyond the connection.
    return Fail(kErrFirewall, "An https URL cannot go through both a firewall and a ProxyServer.");
  }
  if (int rc = Firewall().SetProxy(tls && viaProxy ? std::string_view(proxyServer_) : std::string_view(), proxyPort_,
                                   proxyAuthorization_)) {
    return rc;
  }
  UseTls(tls, target_.Host());
  if (int rc = SetRemoteHost(host)) return rc;
  if (int rc = SetRemotePort(port)) return rc;
  connectDone_ = false;
  connectResult_ = 0;
  if (TimeoutMs() < 0) {
    deferredAction_ = action_;
    int rc = Connect();
    if (rc != 0) deferredAction_ = HttpAction::kNone;
    deferred = rc == 0;
    return rc;
  }
  SetAcceptData(false);
  int rc = Connect();
  if (rc == 0) rc = WaitUntil([this] { return connectDone_; });
  SetAcceptData(true);
  if (rc != 0) {
    Disconnect(0);
    return rc;
  }
  // The failure's text was left by the connection.
  return connectResult_;
}

int HttpClient::WaitForResponse() {
  if (!awaiting_ || TimeoutMs() < 0) return 0;
  int rc = WaitUntil([this] { return !awaiting_; });
  if (rc != 0) {
    // What is still on its way would be read as the answer to the next
    // request on this connection.
    awaiting_ = false;
    Disconnect(0);
    return rc;
  }
  if (disconnectCode_ == kErrTls) return Fail(kErrTls, TlsFailureText());
  return disconnectCode_ != 0 ? FailSocket(disconnectCode_) : 0;
}

bool HttpClient::Secure() const noexcept { return EqualsIgnoreCase(target_.Scheme(), "https"); }

void HttpClient::FollowTerminator() {
  std::string_view wanted = parser_.Terminator();
  if (wanted == terminator_) return;
  terminator_ = wanted;
  SetLineTerminator(wanted);
}

void HttpClient::ResponseOver() {
  awaiting_ = false;
  // A failed response leaves the connection somewhere inside it; a server
  // that said it closes is not asked again.
  if (parser_.Failure() != 0 || !keepAlive_ || serverCloses_ || asyncExchange_ || TimeoutMs() < 0) Disconnect(0);
}

void HttpClient::DataIn(std::string_view bytes, bool terminated) {
  // Bytes of no request's answer (a kept-alive connection's stray bytes)
  // are dropped.
  if (!awaiting_) return;
  responseBytes_ += bytes.size() + (terminated ? terminator_.size() : 0);
  parser_.Deliver(bytes, terminated);
  if (parser_.TransferEnded() || parser_.Failure() != 0) return ResponseOver();
  FollowTerminator();
}

void HttpClient::OnConnected(int code) {
  connectDone_ = true;
  connectResult_ = code;
  connectionUsed_ = false;
  TcpConnection::OnConnected(code);
  const HttpAction action = deferredAction_;
  deferredAction_ = HttpAction::kNone;
  if (action == HttpAction::kNone) return;
  std::shared_ptr<void> hold = HoldOwner();
  int rc = code;
  if (rc == 0 && !Idle()) rc = Fail(kErrBusy, kBusyText);
  if (rc == 0) {
    const int32_t timeout = TimeoutSeconds();
    SetTimeoutSeconds(kAsyncTimeoutSeconds);
    asyncExchange_ = true;
    redirectsFollowed_ = 0;
    rc = Perform(action);
    asyncExchange_ = false;
    SetTimeoutSeconds(timeout);
    if (rc != 0) OnError(rc, LastErrorText());
  }
  requestBody_ = {};
  if (asyncActionEnded_) asyncActionEnded_(action, rc);
}

void HttpClient::OnDisconnected(int code) {
  if (code != 0) disconnectCode_ = code;
  FireConnectionStatus("Remote host disconnected.", code);
  // A body that runs to the close ends here, before Disconnected; any
  // other response still being read was cut short.
  if (awaiting_) {
    awaiting_ = false;
    parser_.Closed();
  }
  FireDisconnected(code);
}

void HttpClient::Status(std::string_view version, int32_t code, std::string_view text) {
  if (ComponentEvents* events = Events()) {
    std::string httpVersion(version);
    int16_t statusCode = EventCode(code);
    std::string description(text);
    events->FireStatus(httpVersion, statusCode, description);
  }
}

void HttpClient::Header(std::string_view name, std::string_view value) {
  if (EqualsIgnoreCase(name, "Connection") && HasToken(value, "close")) serverCloses_ = true;
  if (EqualsIgnoreCase(name, "ETag")) lastETag_ = value;
  if (EqualsIgnoreCase(name, "Last-Modified")) lastModified_ = value;
  if (EqualsIgnoreCase(name, "Content-Type")) contentType_ = value;
  if (ComponentEvents* events = Events()) {
    std::string field(name);
    std::string text(value);
    events->FireHeader(field, text);
  }
}

void HttpClient::SetCookie(const Cookie& cookie) {
  if (ComponentEvents* events = Events()) {
    std::string name(cookie.name), value(cookie.value), expires(cookie.expires), domain(cookie.domain),
        path(cookie.path);
    bool secure = cookie.secure;
    events->FireSetCookie(name, value, expires, domain, path, secure);
  }
}

void HttpClient::Challenge(std::string_view value) {
  authorization_.clear();
  std::string errorText;
  if (ReadDigestChallenge(value, challenge_, errorText) != 0) OnError(kErrHttp, errorText);
}

void HttpClient::StartTransfer() {
  if (ComponentEvents* events = Events()) events->FireStartTransfer();
}

void HttpClient::Transfer(uint64_t bytesTransferred, std::string_view piece) {
  transferPiece_ = piece;
  if (ComponentEvents* events = Events()) {
    int32_t count = EventCount(bytesTransferred);
    std::string text(piece);
    events->FireTransfer(count, text);
  }
  transferPiece_ = {};
}

void HttpClient::EndTransfer() {
  if (ComponentEvents* events = Events()) events->FireEndTransfer();
}

void HttpClient::Error(int code, std::string_view text) { OnError(code, text); }

bool HttpClient::Settings::Configure(const ConfigSetting& setting, ConfigResult& result) {
  HttpClient& o = owner_;
  // A text that reaches the request as it stands: refused when it could
  // end a line of it.
  auto text = [&](std::string& field, std::string_view what) {
    if (!setting.isSet) {
      result.value = field;
    } else if (int rc = RefuseControlBytes(setting.value, what, result.message)) {
      result.code = rc;
    } else {
      field = setting.value;
    }
    return true;
  };
  auto credential = [&](bool isUser) {
    if (!setting.isSet) {
      result.value = isUser ? o.proxyUser_ : o.proxyPassword_;
    } else if (int rc = o.SetProxyCredential(isUser, setting.value)) {
      result.code = rc;
      result.message = o.LastErrorText();
    }
    return true;
  };
  const std::string_view name = setting.name;
  if (ConfigNameIs(name, "HTTPVersion")) return text(o.httpVersion_, "HTTPVersion");
  if (ConfigNameIs(name, "UserAgent")) return text(o.userAgent_, "UserAgent");
  if (ConfigNameIs(name, "IfModifiedSince")) return text(o.ifModifiedSince_, "IfModifiedSince");
  if (ConfigNameIs(name, "AcceptEncoding")) return text(o.acceptEncoding_, "AcceptEncoding");
  if (ConfigNameIs(name, "IfNoneMatch")) return text(o.ifNoneMatch_, "IfNoneMatch");
  for (auto [validator, field] : {std::pair{"LastETag", &o.lastETag_}, std::pair{"LastModified", &o.lastModified_}}) {
    if (!ConfigNameIs(name, validator)) continue;
    if (setting.isSet) return false;  // read only
    result.value = *field;
    return true;
  }
  if (ConfigNameIs(name, "ProxyServer")) return text(o.proxyServer_, "ProxyServer");
  if (ConfigNameIs(name, "ProxyAuthorization")) return text(o.proxyAuthorization_, "ProxyAuthorization");
  if (ConfigNameIs(name, "ProxyUser")) return credential(true);
  if (ConfigNameIs(name, "ProxyPassword")) return credential(false);
  if (ConfigNameIs(name, "MaxTransferredData")) {
    if (setting.isSet) {
      // A negative limit is no limit, as 0 is.
      o.maxTransferredData_ = static_cast<uint64_t>(std::max<int32_t>(ConfigNumber(setting.value), 0));
    } else {
      result.value = std::to_string(o.maxTransferredData_);
    }
    return true;
  }
  if (ConfigNameIs(name, "ProxyPort")) {
    if (setting.isSet) {
      o.proxyPort_ = ConfigNumber(setting.value);
    } else {
      result.value = std::to_string(o.proxyPort_);
    }
    return true;
  }
  if (ConfigNameIs(name, "KeepAlive")) {
    if (setting.isSet) {
      o.keepAlive_ = ConfigBoolean(setting.value);
    } else {
      result.value = o.keepAlive_ ? "True" : "False";
    }
    return true;
  }
  return false;
}

}  // namespace rssvane
