#include "Nginx.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <set>
#include <sstream>

namespace vk::test {
namespace {

constexpr char kNginx[] = "/usr/sbin/nginx";
constexpr char kRealm[] = "vk-test";

// Tab-separated, each value escaped as in JSON strings, so that a tab or a
// line break inside a header cannot shift a field or split a line.
constexpr char kLogFormat[] =
    "$connection\\t$connection_requests\\t$scheme\\t$request_method\\t$request_uri\\t$server_protocol\\t"
    "$status\\t$body_bytes_sent\\t$http_host\\t$http_authorization\\t$http_proxy_authorization\\t"
    "$http_cookie\\t$http_user_agent\\t$http_if_modified_since\\t$http_if_none_match\\t"
    "$http_accept_encoding\\t$http_via";
constexpr size_t kLogFields = 17;

// A double-quoted nginx string; "$" would start a variable and nginx has no
// escape for it.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '$' || static_cast<unsigned char>(c) < 0x20) {
      throw ServerStartError("nginx: cannot put this text in its configuration: " + text);
    }
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

NginxRequest ParseLogLine(std::string_view line) {
  const std::vector<std::string> f = SplitLogLine(line);
  if (f.size() != kLogFields) throw std::runtime_error("nginx access log line not understood: " + std::string(line));
  NginxRequest r;
  r.connection = std::stol(f[0]);
  r.requestOnConnection = std::stoi(f[1]);
  r.scheme = f[2];
  r.method = f[3];
  r.uri = f[4];
  r.protocol = f[5];
  r.status = std::stoi(f[6]);
  r.bodyBytes = std::stol(f[7]);
  r.host = f[8];
  r.authorization = f[9];
  r.proxyAuthorization = f[10];
  r.cookie = f[11];
  r.userAgent = f[12];
  r.ifModifiedSince = f[13];
  r.ifNoneMatch = f[14];
  r.acceptEncoding = f[15];
  r.via = f[16];
  return r;
}

}  // namespace

Nginx::Nginx(NginxOptions options)
    : options_(std::move(options)), folder_("nginx"), process_("nginx", [this] { return Prepare(); }) {}

ServerProcess::Launch Nginx::Prepare() {
  port_ = FreePort();
  ServerProcess::Launch launch;
  launch.ports = {port_};
  if (!options_.tlsCertificate.empty()) {
    tlsPort_ = FreePort();
    launch.ports.push_back(tlsPort_);
  }
  std::string passwords;
  for (const auto& account : options_.basicAccounts) {
    std::string hash = RunCommandOrThrow({kOpenssl, "passwd", "-apr1", account.password});
    while (!hash.empty() && (hash.back() == '\n' || hash.back() == '\r')) hash.pop_back();
    passwords += account.user + ":" + hash + "\n";
  }
  folder_.Write("htpasswd", passwords);
  folder_.MakeFolder("docs");
  folder_.Write("nginx.conf", Config());
  launch.argv = {kNginx, "-c", folder_.File("nginx.conf")};
  launch.outputFile = folder_.File("output.log");
  launch.logs = {folder_.File("error.log")};
  return launch;
}

std::string Nginx::Config() const {
  const std::string dir = folder_.Path().string();
  const std::string docs = dir + "/docs/";
  std::ostringstream c;
  c << "daemon off;\n"
       "master_process off;\n"
       "pid "
    << dir << "/nginx.pid;\n"
    << "error_log " << dir << "/error.log info;\n"
    << "events { worker_connections 256; }\n"
       "http {\n"
       "  types { text/html html; text/plain txt; text/xml xml; application/rss+xml rss;\n"
       "          application/atom+xml atom; application/json json; }\n"
       "  default_type application/octet-stream;\n"
       "  log_format vk escape=json '"
    << kLogFormat << "';\n"
    << "  access_log " << dir << "/access.log vk;\n";
  for (const char* temp : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"}) {
    c << "  " << temp << "_temp_path " << dir << "/temp-" << temp << ";\n";
  }
  c << "  server {\n"
    << "    listen 127.0.0.1:" << port_ << ";\n";
  if (tlsPort_) {
    c << "    listen 127.0.0.1:" << tlsPort_ << " ssl;\n"
      << "    ssl_certificate " << options_.tlsCertificate << ";\n"
      << "    ssl_certificate_key " << options_.tlsKey << ";\n";
  }
  c << "    server_name localhost;\n"
    << "    root " << docs << ";\n"
    << "    if_modified_since before;\n"
    << "    location / { }\n"
    << "    location /chunked/ { alias " << docs << "; ssi on; ssi_types *; }\n"
    << "    location /gzip/ { alias " << docs
    << "; gzip on; gzip_types *; gzip_min_length 0; gzip_proxied any; gzip_http_version 1.0; gzip_vary on; }\n"
    << "    location /basic/ { alias " << docs << "; auth_basic " << kRealm << "; auth_basic_user_file " << dir
    << "/htpasswd; }\n"
    << "    location /cookies/ { alias " << docs << ";";
  for (const auto& cookie : options_.cookies) c << " add_header Set-Cookie " << Quoted(cookie) << ";";
  c << " }\n"
    << "    location /dav/ { dav_methods PUT; create_full_put_path on; dav_access user:rw group:r all:r; }\n";
  for (int code : {301, 302, 307, 308}) {
    c << "    location ~ ^/" << code << "/(.*)$ { return " << code << " /$1; }\n";
  }
  c << "    location = /loop/a { return 302 /loop/b; }\n"
    << "    location = /loop/b { return 302 /loop/a; }\n"
    << options_.serverConfig << "\n"
    << "  }\n"
    << "}\n";
  return c.str();
}

std::string Nginx::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::string Nginx::TlsUrl(std::string_view path, std::string_view host) const {
  return "https://" + std::string(host) + ":" + std::to_string(tlsPort_) + std::string(path);
}

std::string Nginx::WriteDocument(std::string_view relative, std::string_view content) const {
  return folder_.Write("docs/" + std::string(relative), content);
}

void Nginx::SetModified(std::string_view relative, std::time_t when) const {
  const timespec times[2] = {{when, 0}, {when, 0}};
  if (::utimensat(AT_FDCWD, folder_.File("docs/" + std::string(relative)).c_str(), times, 0) != 0) {
    throw std::runtime_error("cannot set the time of " + std::string(relative));
  }
}

std::string Nginx::ReadDocument(std::string_view relative) const {
  return ReadFileText(folder_.File("docs/" + std::string(relative)));
}

std::vector<NginxRequest> Nginx::AccessLog() const {
  std::vector<NginxRequest> requests;
  for (const auto& line : LogLines(folder_.File("access.log"))) requests.push_back(ParseLogLine(line));
  return requests;
}

std::vector<NginxRequest> Nginx::WaitForAccessLog(size_t count, std::chrono::milliseconds limit) const {
  return WaitForEntries([this] { return AccessLog(); }, count, limit);
}

std::string Nginx::ErrorLog() const { return ReadFileText(folder_.File("error.log")); }

size_t CountConnections(const std::vector<NginxRequest>& requests) {
  std::set<long> connections;
  for (const auto& request : requests) connections.insert(request.connection);
  return connections.size();
}

}  // namespace vk::test
