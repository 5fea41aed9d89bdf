// HTTP and HTTPS with keep-alive against libcurl, in the same process, on
// the same nginx (its TLS port with a certificate of a throw-away CA made for
// the run): the throughput of a 10 MiB body, and the request rate of 1,000
// GETs of a 20 KB feed. Both sides trust the same CA file, let the server
// pick the same protocol and cipher from OpenSSL's defaults, keep one
// connection open, collect the body in memory, ask for no compression, and
// run a warm-up before the timed runs; each figure is the median of the
// runs, and every body is checked.
//
// Then GetFeed of a generated feed of about 50 MB against libcurl and
// pugixml (the fastest parser of the XML benchmark): each side fetches and
// parses in a fresh process of its own, so that its peak resident memory is
// its own; the best time of the runs and the largest peak are printed.
//
//   bench_net_http [RUNS]
#include <curl/curl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "GeneratedFeed.h"
#include "Nginx.h"
#include "TestCa.h"
#include "control/RSSImpl.h"
#include "feed/ConfigString.h"
#include "http/HttpClient.h"
#include "rssvane/RSS.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kLargeBytes = 10 * 1024 * 1024;
constexpr size_t kFeedBytes = 20 * 1024;
constexpr int kRequests = 1000;
constexpr size_t kBigFeedItems = 42000;  // about 50 MB

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
    std::fprintf(stderr, "bench_net_http: %s\n", what);
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

// Fetches the big feed and reads it as one side does, in this process:
// prints the seconds it took and the peak resident memory in KiB.
int FeedSide(std::string_view side, const std::string& url, const std::string& caFile) {
  // The clock stops before either side lets its document go.
  double seconds = 0;
  bool ok = false;
  if (side == "ours") {
    rssvane::RSS rss;
    auto t0 = Clock::now();
    rss.GetFeed(std::u16string(url.begin(), url.end()));
    seconds = Seconds(Clock::now() - t0);
    ok = rssvane::ImplOf(rss).engine.Feed().ItemCount() == kBigFeedItems;
  } else {
    Curl curl(caFile);
    pugi::xml_document doc;
    auto t0 = Clock::now();
    std::string_view body = curl.Get(url);
    ok = static_cast<bool>(doc.load_buffer(body.data(), body.size()));
    seconds = Seconds(Clock::now() - t0);
    ok = ok && doc.child("rss").child("channel").child("item");
  }
  Check(ok, "the big feed was not read whole");
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%.6f %ld\n", seconds, usage.ru_maxrss);
  return 0;
}

struct SideFigures {
  double seconds = 1e30;
  long peakKib = 0;
};

// Runs one side of the big feed in a fresh process of this program.
void RunFeedSide(const char* self, const char* side, const std::string& url, const std::string& caFile,
                 SideFigures& figures) {
  int fds[2];
  Check(pipe(fds) == 0, "pipe");
  const pid_t child = fork();
  Check(child >= 0, "fork");
  if (child == 0) {
    dup2(fds[1], STDOUT_FILENO);
    close(fds[0]);
    close(fds[1]);
    execl("/proc/self/exe", self, "--feed-side", side, url.c_str(), caFile.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string out;
  char buffer[256];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  double seconds = 0;
  long peakKib = 0;
  Check(WIFEXITED(status) && WEXITSTATUS(status) == 0 && std::sscanf(out.c_str(), "%lf %ld", &seconds, &peakKib) == 2,
        "a big-feed side failed");
  figures.seconds = std::min(figures.seconds, seconds);
  figures.peakKib = std::max(figures.peakKib, peakKib);
}

void CompareKeepAlive(const char* scheme, const std::string& largeUrl, const std::string& feedUrl,
                      const std::string& large, const std::string& feed, const std::string& caFile, int runs) {
  Ours ours(caFile);
  Curl curl(caFile);
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
  std::printf("%s keep-alive against libcurl %s, nginx on 127.0.0.1, median of %d runs\n", scheme,
              curl_version_info(CURLVERSION_NOW)->version, runs);
  std::printf("  10 MiB body:         ours %8.1f MiB/s   libcurl %8.1f MiB/s   ratio %.2f\n", Median(ourThroughput),
              Median(curlThroughput), Median(ourThroughput) / Median(curlThroughput));
  std::printf("  1,000 GETs of 20 KB: ours %8.0f req/s   libcurl %8.0f req/s   ratio %.2f\n", Median(ourRate),
              Median(curlRate), Median(ourRate) / Median(curlRate));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string_view(argv[1]) == "--feed-side") return FeedSide(argv[2], argv[3], argv[4]);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  curl_global_init(CURL_GLOBAL_DEFAULT);
  vk::test::TestCa ca;
  vk::test::Nginx nginx({.tlsCertificate = ca.Localhost().certificate, .tlsKey = ca.Localhost().key,
                         .serverConfig = "keepalive_requests 100000;"});
  const std::string large = Body(kLargeBytes);
  const std::string feed = Body(kFeedBytes);
  nginx.WriteDocument("large.bin", large);
  nginx.WriteDocument("feed.xml", feed);
  size_t bigFeedBytes = 0;
  {
    const std::string bigFeed = vk_bench::GenerateFeed(kBigFeedItems);
    bigFeedBytes = bigFeed.size();
    nginx.WriteDocument("big-feed.xml", bigFeed);
  }

  CompareKeepAlive("HTTP", nginx.Url("/large.bin"), nginx.Url("/feed.xml"), large, feed, ca.CaCertificate(), runs);
  CompareKeepAlive("HTTPS", nginx.TlsUrl("/large.bin"), nginx.TlsUrl("/feed.xml"), large, feed, ca.CaCertificate(),
                   runs);
  const std::vector<vk::test::NginxRequest> log = nginx.AccessLog();
  const size_t connections = vk::test::CountConnections(log);
  std::printf("  %zu requests on %zu connections (one a side and scheme)\n", log.size(), connections);

  SideFigures ours, peer;
  const int feedRuns = std::min(runs, 3);
  for (int run = 0; run < feedRuns; ++run) {
    RunFeedSide(argv[0], "ours", nginx.Url("/big-feed.xml"), ca.CaCertificate(), ours);
    RunFeedSide(argv[0], "peer", nginx.Url("/big-feed.xml"), ca.CaCertificate(), peer);
  }
  std::printf("GetFeed of a %.1f MB feed over HTTP, best of %d, each side in its own process\n",
              static_cast<double>(bigFeedBytes) / 1e6, feedRuns);
  std::printf("  ours (GetFeed: body, document text and model)   %6.3f s  peak %7.1f MiB\n", ours.seconds,
              ours.peakKib / 1024.0);
  std::printf("  libcurl + pugixml (body, load_buffer)           %6.3f s  peak %7.1f MiB\n", peer.seconds,
              peer.peakKib / 1024.0);
  std::printf("  ratio (their time / ours) %.2f, peak memory ours / theirs %.2f\n", peer.seconds / ours.seconds,
              static_cast<double>(ours.peakKib) / static_cast<double>(peer.peakKib));
  curl_global_cleanup();
  return connections == 4 ? 0 : 1;
}
