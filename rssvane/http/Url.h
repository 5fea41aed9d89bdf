#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <rssvane/RSSTypes.h>

namespace rssvane {

// The parts of a URL as the HTTP client reads it. The rules are the
// component's own and hosts rely on them, quirks included:
// - the text before the first ":" is the scheme unless the text starts with
//   "/", so "host:8080/x" names the scheme "host" and the path "/8080/x";
// - "http" and "https" (any case) set the port to 80 and 443, any other scheme
//   leaves the starting port;
// - after "//" the authority runs to the first "/" or, without one, to the
//   first "?", which then starts the path ("//h?q" has the path "?q");
// - "user:password@" before the host; a ":" after the host gives the port;
// - any other rest is a path, "/" put in front when missing; "/" when empty.
struct UrlParts {
  std::string scheme;
  std::string host;
  int32_t port = 0;
  std::string path;
  std::string user;
  std::string password;
};

// The scheme text names by the rule above, or current when it names none.
std::string_view UrlScheme(std::string_view text, std::string_view current) noexcept;

// Parses text starting from startScheme and startPort. kErrHttp with its text
// for a control byte anywhere in the text (it would reach the request line or
// the Host header) or a port that is not a number from 0 to 65535.
int ParseUrl(std::string_view text, std::string_view startScheme, int32_t startPort, UrlParts& parts,
             std::string& errorText);

// The URL an HTTP client works on, with the credentials that go with it.
//
// Driver contract: call Set for every URL a caller gives (isRedirect false)
// and for every Location followed (isRedirect true). When it reports
// disconnect, drop the open connection first. After a success forget the
// Digest challenge, compute the Authorization value again from User() and
// Password() and reset the 401 retry count; a failure there disconnects too.
class UrlTarget {
 public:
  std::string_view Url() const noexcept { return url_; }
  std::string_view Scheme() const noexcept { return scheme_; }
  std::string_view Host() const noexcept { return host_; }
  int32_t Port() const noexcept { return port_; }
  std::string_view Path() const noexcept { return path_; }
  std::string_view User() const noexcept { return user_; }
  std::string_view Password() const noexcept { return password_; }
  std::string_view DefaultScheme() const noexcept { return defaultScheme_; }

  void SetUser(std::string_view user) { user_ = user; }
  void SetPassword(std::string_view password) { password_ = password; }

  // 0, or kErrHttp for a redirect to the URL already set ("Attempting to
  // redirect to identical URL.  Aborting connection.") and for a URL that
  // ParseUrl refuses. A redirect to another scheme, host or port takes the
  // user and password of the new URL (none when it has none) whatever
  // follow says, so credentials never travel to a server they were not
  // given for; within the same server frAlways keeps them, as before.
  int Set(std::string_view text, bool isRedirect, TFollowRedirects follow, bool& disconnect,
          std::string& errorText);

 private:
  std::string url_;
  std::string defaultScheme_ = "http";
  int32_t defaultPort_ = 80;
  std::string scheme_ = defaultScheme_;
  std::string host_;
  int32_t port_ = defaultPort_;
  std::string path_;
  std::string user_;
  std::string password_;
};

}  // namespace rssvane
