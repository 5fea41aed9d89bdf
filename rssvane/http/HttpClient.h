#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include <rssvane/RSSTypes.h>

#include "http/Authorization.h"
#include "http/Evaluation.h"
#include "http/Response.h"
#include "http/Url.h"
#include "net/TcpConnection.h"

namespace rssvane {

// The component's HTTP/1.0 and 1.1 client: the layer that moves bytes
// between the TCP connection and the socket-free pieces of this folder. It
// sets the URL (UrlTarget), builds the request (BuildRequest), reads the
// response as the line buffer cuts it (ResponseParser), turns what it reads
// into the control's events, and evaluates the finished response
// (EvaluateResponse), following redirects and retrying once with Digest
// credentials from inside the same action.
//
// An https URL connects with TLS (the host's name checked against its
// certificate) directly, through a firewall, or through a ProxyServer with
// CONNECT; http through a ProxyServer keeps the absolute form. With
// AcceptEncoding set, gzip and deflate bodies are decoded as they come, so
// every reader of the body sees it decoded.
//
// An action blocks its caller while serving the thread's queue, so events
// and re-entrant calls run inside it; a second action asked for meanwhile
// fails with 143. With a negative Timeout an action only starts the
// connection and returns; the request goes out, and its response is read
// and evaluated, inside the connection's completion, seen only through the
// events.
// The charset parameter of a Content-Type value ("text/xml; charset=utf-8"),
// unquoted; empty when it has none.
std::string CharsetParameter(std::string_view contentType);

class HttpClient : public TcpConnection, private ResponseListener {
 public:
  HttpClient();
  ~HttpClient() override;

  // Sets the URL of the next action (isRedirect false) or a Location being
  // followed. Drops a connection to another server, forgets the Digest
  // challenge and computes the Authorization value again.
  int SetUrl(std::string_view text, bool isRedirect);
  const UrlTarget& Target() const noexcept { return target_; }

  // Sets the URL and runs the action on it, a PUT sending body: 143 while
  // another action runs, before the URL is touched. The body is kept for
  // the action's own redirects and Digest retry, and let go when it ends.
  int Request(std::string_view url, HttpAction action, std::string body = {});
  // Runs GET or PUT on the URL set: 0, or the code of the failure with its
  // text as the last error.
  int RunAction(HttpAction action);
  bool Idle() const noexcept { return action_ == HttpAction::kNone; }
  // Told when an action that a negative Timeout let return at once has
  // ended, inside the connection's notifications: 0, or the code of its
  // failure with the text as the last error (a connection that failed is
  // reported with the Connected event's code; an action that found another
  // running with 143).
  void SetAsyncActionEnded(std::function<void(HttpAction action, int code)> ended) {
    asyncActionEnded_ = std::move(ended);
  }

  std::string_view User() const noexcept { return target_.User(); }
  std::string_view Password() const noexcept { return target_.Password(); }
  // Refused, keeping the old value, when it holds a control byte.
  int SetUser(std::string_view user);
  int SetPassword(std::string_view password);
  std::string_view Accept() const noexcept { return accept_; }
  int SetAccept(std::string_view accept);
  TAuthScheme AuthScheme() const noexcept { return authScheme_; }
  void SetAuthScheme(TAuthScheme scheme) noexcept { authScheme_ = scheme; }
  TFollowRedirects FollowRedirects() const noexcept { return followRedirects_; }
  void SetFollowRedirects(TFollowRedirects follow) noexcept { followRedirects_ = follow; }
  void SetMaxTransferredData(uint64_t bytes) noexcept { maxTransferredData_ = bytes; }

  // The last response as read so far.
  const ResponseParser& Response() const noexcept { return parser_; }
  // Its Content-Type, empty when it had none.
  std::string_view ContentType() const noexcept { return contentType_; }
  std::string_view TransferredData() const noexcept { return parser_.TransferredData(); }
  // During a Transfer event, the raw bytes of its piece (the event's text
  // is converted to the host's code page); empty otherwise.
  std::string_view TransferPiece() const noexcept { return transferPiece_; }

  // HTTPVersion, UserAgent, MaxTransferredData, KeepAlive, ProxyServer,
  // ProxyPort, ProxyUser, ProxyPassword, ProxyAuthorization and
  // IfModifiedSince. ProxyUser and ProxyPassword also set FirewallUser and
  // FirewallPassword. A Reset of the feed makes HTTPVersion "1.0".
  ConfigLayer& HttpSettings() noexcept { return settings_; }

 protected:
  void OnConnected(int code) override;
  void OnDisconnected(int code) override;
  void DataIn(std::string_view bytes, bool terminated) override;

 private:
  class Settings final : public ConfigLayer {
   public:
    explicit Settings(HttpClient& owner) noexcept : owner_(owner) {}
    bool Configure(const ConfigSetting& setting, ConfigResult& result) override;
    void RestoreResetDefaults() override { owner_.httpVersion_ = "1.0"; }

   private:
    HttpClient& owner_;
  };

  // ResponseListener: the parser's events become the control's.
  void Status(std::string_view version, int32_t code, std::string_view text) override;
  void Header(std::string_view name, std::string_view value) override;
  void SetCookie(const Cookie& cookie) override;
  void Challenge(std::string_view value) override;
  void StartTransfer() override;
  void Transfer(uint64_t bytesTransferred, std::string_view piece) override;
  void EndTransfer() override;
  void Error(int code, std::string_view text) override;

  int Perform(HttpAction action);
  int Exchange(bool& deferred, int& waitResult);
  int PrepareRequest(std::string& request);
  int OpenConnection(bool& deferred, bool& reused);
  int WaitForResponse();
  bool Secure() const noexcept;  // the URL's scheme is https
  void ResponseOver();
  void FollowTerminator();
  int FollowRedirect(const Evaluation& evaluation);
  // Both, with the Authorization value they give.
  int SetCredentials(std::string_view user, std::string_view password);
  // ProxyUser (isUser) or ProxyPassword, which are FirewallUser and
  // FirewallPassword too, with the ProxyAuthorization value they give.
  int SetProxyCredential(bool isUser, std::string_view text);
  void ServeQueuedNotifications();

  UrlTarget target_;
  HttpAction action_ = HttpAction::kNone;
  HttpAction deferredAction_ = HttpAction::kNone;  // waits for the connection (negative Timeout)
  std::string_view verb_;
  std::string requestBody_;
  TAuthScheme authScheme_ = authBasic;
  TFollowRedirects followRedirects_ = frNever;
  std::string authorization_;
  DigestChallenge challenge_;
  int32_t digestRetries_ = 0;
  int32_t redirectsFollowed_ = 0;
  std::string accept_;

  // Settings.
  std::string httpVersion_ = "1.1";
  std::string userAgent_ = "Kestrix HTTP/S Control";
  uint64_t maxTransferredData_ = 4096;
  bool keepAlive_ = false;
  std::string proxyServer_;
  int32_t proxyPort_ = 80;
  std::string proxyUser_;
  std::string proxyPassword_;
  std::string proxyAuthorization_;
  std::string ifModifiedSince_;
  std::string acceptEncoding_;  // empty: none sent, and no body decoded
  std::string ifNoneMatch_;
  // The validators of the last response read.
  std::string lastETag_;
  std::string lastModified_;
  std::string contentType_;

  // The response in flight.
  ResponseParser parser_{*this};
  bool awaiting_ = false;       // a request went out and its response is not over
  bool serverCloses_ = false;   // the response said "Connection: close"
  bool connectionUsed_ = false;  // a request went out on the open connection
  uint64_t responseBytes_ = 0;  // received for it, to tell a dead kept-alive connection
  std::string terminator_;      // the line buffer's, as last set
  std::string_view transferPiece_;
  bool connectDone_ = false;
  int connectResult_ = 0;
  int disconnectCode_ = 0;
  bool asyncExchange_ = false;
  std::function<void(HttpAction, int)> asyncActionEnded_;

  Settings settings_{*this};
};

}  // namespace rssvane
