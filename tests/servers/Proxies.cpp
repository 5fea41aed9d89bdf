#include "Proxies.h"

#include <pwd.h>
#include <unistd.h>

#include <sstream>

namespace vk::test {
namespace {

constexpr char kTinyproxy[] = "/usr/bin/tinyproxy";
constexpr char kDanted[] = "/usr/sbin/danted";
constexpr char kMicrosocks[] = "/usr/bin/microsocks";

// tinyproxy opens its log after it has become nobody.
void HandToNobody(const std::string& path) {
  const passwd* nobody = ::getpwnam("nobody");
  if (!nobody || ::chown(path.c_str(), nobody->pw_uid, nobody->pw_gid) != 0) {
    throw ServerStartError("cannot hand " + path + " to the user nobody");
  }
}

}  // namespace

Tinyproxy::Tinyproxy(TinyproxyOptions options)
    : options_(std::move(options)), folder_("tinyproxy"), process_("tinyproxy", [this] { return Prepare(); }) {}

ServerProcess::Launch Tinyproxy::Prepare() {
  port_ = port_ == 0 && options_.firstPort ? *options_.firstPort : FreePort();
  const std::string log = folder_.Write("tinyproxy.log", "");
  std::ostringstream c;
  if (RunningAsRoot()) {
    c << "User nobody\nGroup nogroup\n";
    HandToNobody(log);
  }
  c << "Port " << port_ << "\n"
    << "Listen 127.0.0.1\n"
    << "Allow 127.0.0.1\n"
    << "LogFile \"" << log << "\"\n"
    << "LogLevel Info\n";
  if (options_.basicAuth) c << "BasicAuth " << options_.basicAuth->user << " " << options_.basicAuth->password << "\n";
  ServerProcess::Launch launch;
  launch.argv = {kTinyproxy, "-d", "-c", folder_.Write("tinyproxy.conf", c.str())};
  launch.ports = {port_};
  launch.outputFile = folder_.File("output.log");
  launch.logs = {log};
  return launch;
}

std::string Tinyproxy::Log() const { return ReadFileText(folder_.File("tinyproxy.log")); }

std::vector<std::string> Tinyproxy::Requests() const {
  static constexpr std::string_view kMarker = "Request (file descriptor ";
  std::vector<std::string> requests;
  for (const auto& line : LogLines(folder_.File("tinyproxy.log"))) {
    const size_t at = line.find(kMarker);
    if (at == std::string::npos) continue;
    const size_t text = line.find("): ", at);
    if (text != std::string::npos) requests.push_back(line.substr(text + 3));
  }
  return requests;
}

Dante::Dante() : folder_("danted"), process_("danted", [this] { return Prepare(); }) {}

ServerProcess::Launch Dante::Prepare() {
  port_ = FreePort();
  // As root it works as nobody and keeps root for what needs it; anyone
  // else can only be themselves.
  const std::string privileged = RunningAsRoot() ? "root" : CurrentUserName();
  const std::string unprivileged = RunningAsRoot() ? "nobody" : privileged;
  std::ostringstream c;
  c << "logoutput: " << folder_.File("danted.log") << "\n"
    << "internal: 127.0.0.1 port = " << port_ << "\n"
    << "external: 127.0.0.1\n"
    << "socksmethod: none\n"
    << "clientmethod: none\n"
    << "user.privileged: " << privileged << "\n"
    << "user.unprivileged: " << unprivileged << "\n"
    << "client pass { from: 127.0.0.0/8 to: 0.0.0.0/0 log: error }\n"
    << "socks pass { from: 127.0.0.0/8 to: 0.0.0.0/0 log: connect disconnect error }\n";
  ServerProcess::Launch launch;
  launch.argv = {kDanted, "-f", folder_.Write("danted.conf", c.str()), "-p", folder_.File("danted.pid")};
  launch.ports = {port_};
  launch.outputFile = folder_.File("output.log");
  launch.logs = {folder_.File("danted.log")};
  return launch;
}

std::string Dante::Log() const { return ReadFileText(folder_.File("danted.log")); }

Microsocks::Microsocks(Account account)
    : account_(std::move(account)), folder_("microsocks"), process_("microsocks", [this] { return Prepare(); }) {}

ServerProcess::Launch Microsocks::Prepare() {
  port_ = FreePort();
  ServerProcess::Launch launch;
  launch.argv = {kMicrosocks, "-i", "127.0.0.1", "-p", std::to_string(port_), "-u", account_.user,
                 "-P", account_.password};
  launch.ports = {port_};
  launch.outputFile = folder_.File("output.log");
  return launch;
}

std::string Microsocks::Log() const { return ReadFileText(folder_.File("output.log")); }

}  // namespace vk::test
