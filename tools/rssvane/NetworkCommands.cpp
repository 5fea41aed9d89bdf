// The control's network methods on the command line, with one set of
// options: rssvane get URL (GetURL, the body byte for byte), rssvane fetch
// URL (GetFeed, the feed as rssvane dump prints it) and rssvane put URL FILE
// (ReadFile and Put, the body of the answer byte for byte).
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Commands.h"
#include "EventJson.h"
#include "FeedJson.h"
#include "base/CodePage.h"
#include "control/RSSImpl.h"
#include "rssvane/MessageLoop.h"
#include "rssvane/RSS.h"

namespace {

using rssvane::RSS;
using rssvane::Variant;

constexpr int kNotModified = 3;

constexpr std::string_view kUsage =
    "Options:\n"
    "  --user U, --password P     credentials for the server\n"
    "  --digest                   answer with Digest authentication (default Basic)\n"
    "  --proxy HOST:PORT          send the request through an HTTP proxy\n"
    "  --proxy-user U, --proxy-password P\n"
    "                             credentials for the proxy (or the firewall)\n"
    "  --firewall TYPE://[USER[:PASSWORD]@]HOST[:PORT]\n"
    "                             connect through a firewall: TYPE tunnel, socks4 or socks5\n"
    "  --follow never|always|same-scheme\n"
    "                             which redirects to follow (default never)\n"
    "  --keep-alive               keep the connection open between requests\n"
    "  --accept-encoding LIST     codings offered to the server (default \"gzip, deflate\"; \"\" none);\n"
    "                             a gzip or deflate body is decoded before it is written\n"
    "  --if-none-match ETAG       fetch only when the document's ETag is no longer ETAG\n"
    "  --if-modified-since DATE   fetch only when the document changed after DATE (HTTP date)\n"
    "  --ca-file FILE             trust the certificates of this PEM file for https, instead of the system's\n"
    "  --insecure                 do not check the https server's certificate (a warning is printed)\n"
    "  --decode                   read a feed in the encoding it declares or its server names\n"
    "  --atom                     read an Atom 1.0 feed into the model (RSS 2.0 when written)\n"
    "  --timeout SECONDS          give up after SECONDS without progress (default 60, 0 never)\n"
    "  --config NAME=VALUE        a configuration setting of the control; repeatable, in order\n"
    "  --events                   every event as a JSON line on standard error\n"
    "  --progress                 bytes received so far on standard error, when it is a terminal\n"
    "\n"
    "Exit status: 0 success; 1 failure, with \"rssvane: error NUMBER: DESCRIPTION\"; 2 wrong usage;\n"
    "3 not modified (304), with nothing written.\n";

struct Firewall {
  int type = 0;
  std::string host;
  std::optional<int32_t> port;
  std::optional<std::string> user;
  std::optional<std::string> password;
};

// What sets one command apart from the others.
struct NetworkCommand {
  std::string_view name;
  std::string_view operands;  // "URL" or "URL FILE", as the usage shows them
  std::string_view summary;   // the usage's paragraph, ended by a line feed
  // Runs the control's methods on the operands (UTF-8 words, as many as
  // operands names), raising what they raise: prepare before the options
  // are applied (reading a file restores the network defaults), run after.
  void (*prepare)(RSS& rss, const std::vector<std::string>& operands);
  void (*run)(RSS& rss, const std::vector<std::string>& operands);
  // Writes the outcome to standard output: 0, or 1 when it could not.
  int (*write)(RSS& rss);
};

struct Options {
  const NetworkCommand* command = nullptr;
  std::vector<std::string> operands;
  std::optional<std::string> user, password, proxyUser, proxyPassword;
  std::optional<std::string> proxyHost;
  int32_t proxyPort = 0;
  std::optional<Firewall> firewall;
  std::optional<rssvane::TFollowRedirects> follow;
  std::optional<int16_t> timeout;
  std::string acceptEncoding = "gzip, deflate";
  std::optional<std::string> ifNoneMatch, ifModifiedSince, caFile;
  bool insecure = false;
  bool decode = false;
  bool atom = false;
  std::vector<std::string> configs;
  bool digest = false;
  bool keepAlive = false;
  bool events = false;
  bool progress = false;
};

// A whole number from low to high written in decimal digits only, or nothing.
std::optional<int32_t> NumberOf(std::string_view text, int32_t low, int32_t high) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string_view::npos) return {};
  int32_t n = std::stoi(std::string(text));
  if (n < low || n > high) return {};
  return n;
}

std::optional<int32_t> PortOf(std::string_view text) { return NumberOf(text, 1, 65535); }

// TYPE://[USER[:PASSWORD]@]HOST[:PORT]
std::optional<Firewall> FirewallOf(std::string_view text) {
  Firewall f;
  size_t scheme = text.find("://");
  if (scheme == std::string_view::npos) return {};
  std::string_view type = text.substr(0, scheme);
  if (type == "tunnel") {
    f.type = rssvane::fwTunnel;
  } else if (type == "socks4") {
    f.type = rssvane::fwSOCKS4;
  } else if (type == "socks5") {
    f.type = rssvane::fwSOCKS5;
  } else {
    return {};
  }
  std::string_view rest = text.substr(scheme + 3);
  if (size_t at = rest.rfind('@'); at != std::string_view::npos) {
    std::string_view userInfo = rest.substr(0, at);
    size_t colon = userInfo.find(':');
    f.user = std::string(userInfo.substr(0, colon));
    if (colon != std::string_view::npos) f.password = std::string(userInfo.substr(colon + 1));
    rest = rest.substr(at + 1);
  }
  if (size_t colon = rest.rfind(':'); colon != std::string_view::npos) {
    f.port = PortOf(rest.substr(colon + 1));
    if (!f.port) return {};
    rest = rest.substr(0, colon);
  }
  if (rest.empty()) return {};
  f.host = rest;
  return f;
}

int UsageError(const NetworkCommand& command, const std::string& why) {
  const std::string name(command.name);
  std::fprintf(stderr, "rssvane %s: %s (see rssvane %s --help)\n", name.c_str(), why.c_str(), name.c_str());
  return 2;
}

// Reads the words into options: 0, or the exit status of a usage error
// (-1 for --help).
int Parse(const std::vector<std::string_view>& args, Options& o) {
  const size_t wanted = std::count(o.command->operands.begin(), o.command->operands.end(), ' ') + 1;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view word = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    std::string v;
    if (word == "--help" || word == "-h") return -1;
    if (word == "--digest") {
      o.digest = true;
    } else if (word == "--keep-alive") {
      o.keepAlive = true;
    } else if (word == "--events") {
      o.events = true;
    } else if (word == "--progress") {
      o.progress = true;
    } else if (word == "--insecure") {
      o.insecure = true;
    } else if (word == "--decode") {
      o.decode = true;
    } else if (word == "--atom") {
      o.atom = true;
    } else if (word == "--accept-encoding" || word == "--if-none-match" || word == "--if-modified-since" ||
               word == "--ca-file") {
      if (!value(v)) return UsageError(*o.command, std::string(word) + " needs a value");
      if (word == "--accept-encoding") {
        o.acceptEncoding = v;
      } else if (word == "--if-none-match") {
        o.ifNoneMatch = v;
      } else if (word == "--if-modified-since") {
        o.ifModifiedSince = v;
      } else {
        o.caFile = v;
      }
    } else if (word == "--user" || word == "--password" || word == "--proxy-user" || word == "--proxy-password" ||
               word == "--proxy" || word == "--firewall" || word == "--follow" || word == "--timeout" ||
               word == "--config") {
      if (!value(v)) return UsageError(*o.command, std::string(word) + " needs a value");
      if (word == "--user") {
        o.user = v;
      } else if (word == "--password") {
        o.password = v;
      } else if (word == "--proxy-user") {
        o.proxyUser = v;
      } else if (word == "--proxy-password") {
        o.proxyPassword = v;
      } else if (word == "--proxy") {
        size_t colon = v.rfind(':');
        std::optional<int32_t> port = colon == std::string::npos ? std::nullopt : PortOf(std::string_view(v).substr(colon + 1));
        if (!port || colon == 0) return UsageError(*o.command, "--proxy takes HOST:PORT");
        o.proxyHost = v.substr(0, colon);
        o.proxyPort = *port;
      } else if (word == "--firewall") {
        o.firewall = FirewallOf(v);
        if (!o.firewall) return UsageError(*o.command, "--firewall takes TYPE://[USER[:PASSWORD]@]HOST[:PORT], TYPE tunnel, socks4 or socks5");
      } else if (word == "--follow") {
        if (v == "never") {
          o.follow = rssvane::frNever;
        } else if (v == "always") {
          o.follow = rssvane::frAlways;
        } else if (v == "same-scheme") {
          o.follow = rssvane::frSameScheme;
        } else {
          return UsageError(*o.command, "--follow takes never, always or same-scheme");
        }
      } else if (word == "--timeout") {
        std::optional<int32_t> seconds = NumberOf(v, 0, 32767);
        if (!seconds) return UsageError(*o.command, "--timeout takes a whole number of seconds from 0 to 32767");
        o.timeout = static_cast<int16_t>(*seconds);
      } else if (v.find('=') == std::string::npos) {
        return UsageError(*o.command, "--config takes NAME=VALUE");
      } else {
        o.configs.push_back(v);
      }
    } else if (word.starts_with("-")) {
      return UsageError(*o.command, "unknown option " + std::string(word));
    } else if (o.operands.size() == wanted) {
      return UsageError(*o.command, "too many operands: " + std::string(o.command->operands) + " only");
    } else {
      o.operands.emplace_back(word);
    }
  }
  if (o.operands.size() < wanted) return UsageError(*o.command, std::string(o.command->operands) + " needed");
  return 0;
}

// Command-line words are UTF-8; the control takes wide text and converts it
// with its own CodePage.
std::u16string Wide(std::string_view utf8) {
  std::u16string wide;
  rssvane::NarrowToWide(utf8, 65001, wide);
  return wide;
}

void Put(RSS& rss, std::u16string_view name, Variant value) { rss.Invoke(name, RSS::DispatchKind::kPropertyPut, {std::move(value)}); }

void Configure(RSS& rss, const Options& o) {
  if (o.user) rss.SetUser(Wide(*o.user));
  if (o.password) rss.SetPassword(Wide(*o.password));
  if (o.digest) rss.SetAuthScheme(rssvane::authDigest);
  if (o.follow) rss.SetFollowRedirects(*o.follow);
  if (o.timeout) rss.SetTimeout(*o.timeout);
  if (o.keepAlive) rss.Config(u"KeepAlive=true");
  rss.Config(u"AcceptEncoding=" + Wide(o.acceptEncoding));
  if (o.ifNoneMatch) rss.Config(u"IfNoneMatch=" + Wide(*o.ifNoneMatch));
  if (o.ifModifiedSince) rss.Config(u"IfModifiedSince=" + Wide(*o.ifModifiedSince));
  if (o.caFile) rss.Config(u"TlsCaFile=" + Wide(*o.caFile));
  if (o.insecure) rss.Config(u"TlsVerify=false");
  if (o.proxyHost) {
    rss.Config(u"ProxyServer=" + Wide(*o.proxyHost));
    rss.Config(u"ProxyPort=" + Wide(std::to_string(o.proxyPort)));
  }
  // ProxyUser and ProxyPassword stand for the firewall's credentials too:
  // a firewall's own come after them.
  if (o.proxyUser) rss.Config(u"ProxyUser=" + Wide(*o.proxyUser));
  if (o.proxyPassword) rss.Config(u"ProxyPassword=" + Wide(*o.proxyPassword));
  if (o.firewall) {
    // Reached by name, as any host reaches the members: the type first,
    // since it sets the port the firewall kind usually listens on.
    const Firewall& f = *o.firewall;
    Put(rss, u"FirewallType", Variant(int32_t{f.type}));
    Put(rss, u"FirewallHost", Variant(Wide(f.host)));
    if (f.port) Put(rss, u"FirewallPort", Variant(*f.port));
    if (f.user) Put(rss, u"FirewallUser", Variant(Wide(*f.user)));
    if (f.password) Put(rss, u"FirewallPassword", Variant(Wide(*f.password)));
  }
  for (const std::string& config : o.configs) rss.Config(Wide(config));
}

// Bytes received so far, on one line of the terminal.
class Progress final : public rssvane::_IRSSEvents {
 public:
  explicit Progress(RSS& rss) : rss_(rss) {}
  void Finish() {
    if (shown_) std::fputc('\n', stderr);
    shown_ = false;
  }
  void Transfer(int32_t&, std::u16string&) override {
    // The event's count stops at 2 GiB; the client's own does not.
    unsigned long long bytes = rssvane::ImplOf(rss_).net.Response().BytesTransferred();
    std::fprintf(stderr, "\r%llu bytes", bytes);
    std::fflush(stderr);
    shown_ = true;
  }

 private:
  RSS& rss_;
  bool shown_ = false;
};

volatile std::sig_atomic_t interruptSignalled = 0;

void OnInterrupt(int) { interruptSignalled = 1; }

// Ctrl-C ends the running method as a host closing would, with 301
// "Interrupted.": the control then closes its socket and the command ends
// with the error line instead of dying mid-transfer. A second one, for a
// call that does not return to its wait (a slow name look-up), ends the
// process as usual.
bool StillWanted(void*) { return interruptSignalled == 0; }

void EndOnInterrupt() {
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  rssvane::SetHostEventHook(StillWanted, nullptr);
}

int RunNetworkCommand(const NetworkCommand& command, const std::vector<std::string_view>& args) {
  Options o;
  o.command = &command;
  if (int status = Parse(args, o)) {
    if (status != -1) return status;
    std::string usage = "usage: rssvane " + std::string(command.name) + " [OPTIONS] " + std::string(command.operands) +
                        "\n\n" + std::string(command.summary) + "\n";
    usage += kUsage;
    std::fwrite(usage.data(), 1, usage.size(), stdout);
    return 0;
  }
  EndOnInterrupt();
  RSS rss;
  rssvane_tool::EventJsonSink events(stderr);
  if (o.events) rss.Advise(&events);
  std::optional<Progress> progress;
  if (o.progress && ::isatty(STDERR_FILENO)) {
    progress.emplace(rss);
    rss.Advise(&*progress);
  }
  try {
    // How a feed is read counts for put's file as for fetch's answer.
    if (o.decode) rss.Config(u"DecodeDocument=true");
    if (o.atom) rss.Config(u"ReadAtom=true");
    if (command.prepare) command.prepare(rss, o.operands);
    Configure(rss, o);
    // However it was switched off, the user hears of it.
    if (rss.Config(u"TlsVerify") == u"False") {
      std::fputs("rssvane: warning: TLS certificate verification is off; an https server's identity is not checked\n",
                 stderr);
    }
    command.run(rss, o.operands);
  } catch (const rssvane::AutomationError& e) {
    if (progress) progress->Finish();
    // The document has not changed since the validators given: nothing to
    // write, and a status of its own for the script that polls.
    if (rssvane::ImplOf(rss).net.Response().StatusCode() == 304) return kNotModified;
    std::string description;
    rssvane::WideToNarrow(e.Description(), 65001, description);
    std::fprintf(stderr, "rssvane: error %d: %s\n", e.Number(), description.c_str());
    return 1;
  }
  if (progress) progress->Finish();
  if (command.write(rss) != 0 || std::fflush(stdout) != 0) {
    std::fputs("rssvane: error writing to standard output\n", stderr);
    return 1;
  }
  return 0;
}

// The body of the last answer, byte for byte.
int WriteBody(RSS& rss) {
  std::string_view body = rssvane::ImplOf(rss).net.TransferredData();
  return std::fwrite(body.data(), 1, body.size(), stdout) == body.size() ? 0 : 1;
}

int WriteFeed(RSS& rss) {
  std::string json = rssvane_tool::FeedJson(rssvane::ImplOf(rss).engine.Feed());
  return std::fwrite(json.data(), 1, json.size(), stdout) == json.size() ? 0 : 1;
}

constexpr NetworkCommand kGet{"get", "URL", "Fetches URL and writes the body of the answer to standard output.\n",
                              nullptr, [](RSS& rss, const std::vector<std::string>& operands) { rss.GetURL(Wide(operands[0])); },
                              WriteBody};
constexpr NetworkCommand kFetch{
    "fetch", "URL",
    "Fetches the feed at URL, reads it as the control's GetFeed does and writes the feed\n"
    "to standard output as one JSON object, as rssvane dump does.\n",
    nullptr, [](RSS& rss, const std::vector<std::string>& operands) { rss.GetFeed(Wide(operands[0])); }, WriteFeed};
constexpr NetworkCommand kPut{"put", "URL FILE",
                              "Reads the feed FILE and uploads its text as it stands to URL with an HTTP PUT;\n"
                              "writes the body of the answer to standard output.\n",
                              [](RSS& rss, const std::vector<std::string>& operands) { rss.ReadFile(Wide(operands[1])); },
                              [](RSS& rss, const std::vector<std::string>& operands) { rss.Put(Wide(operands[0])); },
                              WriteBody};

rssvane_tool::CommandRegistration getCommand{
    {"get", "get URL      fetch a document and write its body to standard output",
     [](const std::vector<std::string_view>& args) { return RunNetworkCommand(kGet, args); }}};
rssvane_tool::CommandRegistration fetchCommand{
    {"fetch", "fetch URL    fetch a feed and print it as rssvane dump does",
     [](const std::vector<std::string_view>& args) { return RunNetworkCommand(kFetch, args); }}};
rssvane_tool::CommandRegistration putCommand{
    {"put", "put URL FILE  upload a feed file and write the answer's body to standard output",
     [](const std::vector<std::string_view>& args) { return RunNetworkCommand(kPut, args); }}};

}  // namespace
