// HTTPS with keep-alive against libcurl, in the same process, on the same
// nginx TLS port (a certificate of a throw-away CA made for the run): the
// throughput of a 10 MiB body, and the request rate of 1,000 GETs of a 20 KB
// feed. Both sides trust the same CA file, let the server pick the same
// protocol and cipher from OpenSSL's defaults, keep one connection open,
// collect the body in memory, ask for no compression, and run a warm-up
// before the timed runs; each figure is the median of the runs, and every
// body is checked.
//
//   bench_net_https [RUNS]
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "Nginx.h"
#include "TestCa.h"
#include "feed/ConfigString.h"
#include "http/HttpClient.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kLargeBytes = 10 * 1024 * 1024;
constexpr size_t kFeedBytes = 20 * 1024;
constexpr int kRequests = 1000;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Bytes that compress poorly, as a body that TLS has to carry whole.
std::string Body(size_t size) {
  std::string bytes(size, '\0');
  uint32_t x = 2463534242u;
  for (char& c : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x);
  }
  return bytes;
}

void Check(bool good, const char* what) {
  if (!good) {
    std::fprintf(stderr, "bench_net_https: %s\n", what);
    std::exit(1);
  }
}

// One side: fetches url into memory on its one kept-alive connection, and
// shows the body where it collected it.
using Fetch = std::function<std::string_view(const std::string& url)>;

class Ours {
 public:
  explicit Ours(const std::string& caFile) {
    Set("KeepAlive=true");
    Set("MaxTransferredData=0");
    Set("TlsCaFile=" + caFile);
    client_.SetTimeoutSeconds(30);
  }
  std::string_view Get(const std::string& url) {
    Check(client_.Request(url, rssvane::HttpAction::kGet) == 0, "our GET failed");
    return client_.TransferredData();
  }

 private:
  void Set(const std::string& text) {
    rssvane::ConfigResult result;
    rssvane::ConfigSetting setting = rssvane::ParseConfigString(text);
    Check(client_.HttpSettings().Configure(setting, result) || client_.TcpSettings().Configure(setting, result),
          "unknown setting");
    Check(result.code == 0, "setting refused");
  }
  rssvane::HttpClient client_;
};

class Curl {
 public:
  explicit Curl(const std::string& caFile) : curl_(curl_easy_init()) {
    curl_easy_setopt(curl_, CURLOPT_CAINFO, caFile.c_str());
    curl_easy_setopt(curl_, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, &Curl::Write);
    curl_easy_setopt(curl_, CURLOPT_WRITEDATA, &body_);
  }
  ~Curl() { curl_easy_cleanup(curl_); }
  std::string_view Get(const std::string& url) {
    body_.clear();
    curl_easy_setopt(curl_, CURLOPT_URL, url.c_str());
    long status = 0;
    Check(curl_easy_perform(curl_) == CURLE_OK, "curl GET failed");
    curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &status);
    Check(status == 200, "curl GET not 200");
    return body_;
  }

 private:
  static size_t Write(char* data, size_t, size_t n, void* out) {
    static_cast<std::string*>(out)->append(data, n);
    return n;
  }
  CURL* curl_;
  std::string body_;
};

struct Figures {
  double mibPerSecond;
  double requestsPerSecond;
};

Figures Measure(const Fetch& get, const std::string& largeUrl, const std::string& feedUrl, const std::string& large,
                const std::string& feed, int runs) {
  Check(get(largeUrl) == large && get(feedUrl) == feed, "a body differs");  // warm-up, same connection
  std::vector<double> throughput, rate;
  for (int run = 0; run < runs; ++run) {
    auto t0 = Clock::now();
    Check(get(largeUrl).size() == large.size(), "large body cut");
    auto t1 = Clock::now();
    for (int i = 0; i < kRequests; ++i) Check(get(feedUrl).size() == feed.size(), "feed cut");
    auto t2 = Clock::now();
    throughput.push_back(static_cast<double>(large.size()) / (1024.0 * 1024.0) / Seconds(t1 - t0));
    rate.push_back(kRequests / Seconds(t2 - t1));
  }
  return {Median(throughput), Median(rate)};
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  curl_global_init(CURL_GLOBAL_DEFAULT);
  vk::test::TestCa ca;
  vk::test::Nginx nginx({.tlsCertificate = ca.Localhost().certificate, .tlsKey = ca.Localhost().key,
                         .serverConfig = "keepalive_requests 100000;"});
  const std::string large = Body(kLargeBytes);
  const std::string feed = Body(kFeedBytes);
  nginx.WriteDocument("large.bin", large);
  nginx.WriteDocument("feed.xml", feed);
  const std::string largeUrl = nginx.TlsUrl("/large.bin");
  const std::string feedUrl = nginx.TlsUrl("/feed.xml");

  Ours ours(ca.CaCertificate());
  Curl curl(ca.CaCertificate());
  // Alternating sides run for run spreads a busy machine's noise over both.
  std::vector<double> ourThroughput, curlThroughput, ourRate, curlRate;
  for (int run = 0; run < runs; ++run) {
    Figures o = Measure([&](const std::string& url) { return ours.Get(url); }, largeUrl, feedUrl, large, feed, 1);
    Figures c = Measure([&](const std::string& url) { return curl.Get(url); }, largeUrl, feedUrl, large, feed, 1);
    ourThroughput.push_back(o.mibPerSecond);
    curlThroughput.push_back(c.mibPerSecond);
    ourRate.push_back(o.requestsPerSecond);
    curlRate.push_back(c.requestsPerSecond);
  }
  const std::vector<vk::test::NginxRequest> log = nginx.AccessLog();
  const size_t connections = vk::test::CountConnections(log);
  std::printf("HTTPS keep-alive against libcurl %s, nginx on 127.0.0.1, median of %d runs\n",
              curl_version_info(CURLVERSION_NOW)->version, runs);
  std::printf("  10 MiB body:        ours %8.1f MiB/s   libcurl %8.1f MiB/s   ratio %.2f\n", Median(ourThroughput),
              Median(curlThroughput), Median(ourThroughput) / Median(curlThroughput));
  std::printf("  1,000 GETs of 20 KB: ours %8.0f req/s   libcurl %8.0f req/s   ratio %.2f\n", Median(ourRate),
              Median(curlRate), Median(ourRate) / Median(curlRate));
  std::printf("  %zu requests on %zu connections (one a side)\n", log.size(), connections);
  curl_global_cleanup();
  return connections == 2 ? 0 : 1;
}
