// RSA key generation at 2048 and 4096 bits against `openssl genpkey`,
// medians of 7 runs each, interleaved so that machine load hits both alike.
//   bench_crypto_keygen [RUNS (default 7)]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "cryptoengine/CryptoEngine.h"

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 7;
  std::vector<double> startup;
  for (int i = 0; i < runs; ++i) startup.push_back(vkbench::TimeCommand("openssl version >/dev/null"));
  std::printf("openssl process start-up (included in its times): %.3f s\n", vkbench::Median(startup));
  for (int bits : {2048, 4096}) {
    std::vector<double> ours, peer;
    const std::string command = "openssl genpkey -quiet -algorithm RSA -pkeyopt rsa_keygen_bits:" +
                                std::to_string(bits) + " -out /dev/null";
    for (int i = 0; i < runs; ++i) {
      peer.push_back(vkbench::TimeCommand(command));
      vkcrypto::CryptoEngine engine;
      engine.SetMethod(vkcrypto::Method::kRsa);
      const double start = vkbench::Now();
      engine.CreateKeyPair(bits);
      ours.push_back(vkbench::Now() - start);
    }
    const double ourMedian = vkbench::Median(ours);
    const double peerMedian = vkbench::Median(peer);
    std::printf("RSA %d: engine median %.3f s, openssl genpkey median %.3f s, ratio engine/openssl speed %.2f\n",
                bits, ourMedian, peerMedian, peerMedian / ourMedian);
    std::printf("  engine runs:");
    for (double t : ours) std::printf(" %.3f", t);
    std::printf("\n  openssl runs:");
    for (double t : peer) std::printf(" %.3f", t);
    std::printf("\n");
  }
  return 0;
}
