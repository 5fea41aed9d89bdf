#include "ApacheDigest.h"

#include <openssl/evp.h>

#include <sstream>

namespace vk::test {
namespace {

constexpr char kApache[] = "/usr/sbin/apache2";
constexpr char kModules[] = "/usr/lib/apache2/modules";

// The htdigest form of a password: MD5 of "user:realm:password" in hex.
std::string DigestHash(const std::string& text) {
  unsigned char hash[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (!EVP_Digest(text.data(), text.size(), hash, &length, EVP_md5(), nullptr)) {
    throw ServerStartError("apache2: MD5 is not available from OpenSSL");
  }
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kDigits[hash[i] >> 4];
    hex += kDigits[hash[i] & 15];
  }
  return hex;
}

ApacheRequest ParseLogLine(const std::string& line) {
  const std::vector<std::string> f = SplitLogLine(line);
  if (f.size() != 7) throw std::runtime_error("apache2 access log line not understood: " + line);
  ApacheRequest r;
  r.clientPort = std::stoi(f[0]);
  r.requestOnConnection = std::stoi(f[1]) + 1;
  r.method = f[2];
  r.uri = f[3];
  r.status = std::stoi(f[4]);
  r.user = f[5];
  r.authorization = f[6];
  return r;
}

}  // namespace

ApacheDigest::ApacheDigest(ApacheDigestOptions options)
    : options_(std::move(options)), folder_("apache2"), process_("apache2", [this] { return Prepare(); }) {}

ServerProcess::Launch ApacheDigest::Prepare() {
  port_ = FreePort();
  std::string users;
  for (const auto& account : options_.accounts) {
    const std::string prefix = account.user + ":" + kRealm + ":";
    users += prefix + DigestHash(prefix + account.password) + "\n";
  }
  folder_.Write("digest-users", users);
  folder_.MakeFolder("docs");
  folder_.Write("httpd.conf", Config());
  ServerProcess::Launch launch;
  launch.argv = {kApache, "-f", folder_.File("httpd.conf"), "-DFOREGROUND"};
  launch.ports = {port_};
  launch.outputFile = folder_.File("output.log");
  launch.logs = {folder_.File("error.log")};
  return launch;
}

std::string ApacheDigest::Config() const {
  const std::string dir = folder_.Path().string();
  std::ostringstream c;
  c << "ServerRoot " << dir << "\n"
    << "ServerName 127.0.0.1\n"
    << "Listen 127.0.0.1:" << port_ << "\n"
    << "PidFile " << dir << "/httpd.pid\n"
    << "DefaultRuntimeDir " << dir << "\n"
    << "ErrorLog " << dir << "/error.log\n"
    << "LogLevel info\n";
  // Only root can switch users; anyone else serves as themselves.
  if (RunningAsRoot()) c << "User nobody\nGroup nogroup\n";
  for (const char* module :
       {"mpm_prefork", "authn_core", "authn_file", "authz_core", "authz_user", "auth_digest", "alias"}) {
    c << "LoadModule " << module << "_module " << kModules << "/mod_" << module << ".so\n";
  }
  c << "StartServers 2\nMinSpareServers 1\nMaxSpareServers 4\nMaxRequestWorkers 16\n"
    << "DocumentRoot " << dir << "/docs\n"
    << "LogFormat \"%{remote}p\\t%k\\t%m\\t%U%q\\t%>s\\t%u\\t%{Authorization}i\" vk\n"
    << "CustomLog " << dir << "/access.log vk\n"
    << "Alias /digest/ " << dir << "/docs/\n"
    << "<Location /digest/>\n"
    << "  AuthType Digest\n"
    << "  AuthName " << kRealm << "\n"
    << "  AuthDigestProvider file\n"
    << "  AuthUserFile " << dir << "/digest-users\n"
    << "  AuthDigestQop auth\n"
    << "  AuthDigestNonceLifetime " << options_.nonceLifetimeSeconds << "\n"
    << "  Require valid-user\n"
    << "</Location>\n";
  return c.str();
}

std::string ApacheDigest::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::string ApacheDigest::WriteDocument(std::string_view relative, std::string_view content) const {
  return folder_.Write("docs/" + std::string(relative), content);
}

std::vector<ApacheRequest> ApacheDigest::AccessLog() const {
  std::vector<ApacheRequest> requests;
  for (const auto& line : LogLines(folder_.File("access.log"))) requests.push_back(ParseLogLine(line));
  return requests;
}

std::vector<ApacheRequest> ApacheDigest::WaitForAccessLog(size_t count, std::chrono::milliseconds limit) const {
  return WaitForEntries([this] { return AccessLog(); }, count, limit);
}

std::string ApacheDigest::ErrorLog() const { return ReadFileText(folder_.File("error.log")); }

}  // namespace vk::test
