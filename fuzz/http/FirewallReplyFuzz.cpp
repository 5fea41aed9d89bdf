// A firewall's reply read in one piece, byte by byte and in cuts chosen by
// the input must give the same bytes sent, outcome, text and leftover.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "net/FirewallNegotiator.h"

namespace {

struct Result {
  std::string sent;
  rssvane::FirewallStep::Outcome outcome{};
  std::string text;
  std::string leftover;
};

int Resolve(std::string_view host, std::array<uint8_t, 4>& address) {
  if (host.size() % 2 == 0) return 11004;
  address = {127, 0, 0, 1};
  return 0;
}

Result Run(const rssvane::FirewallSettings& settings, std::string_view reply, const uint8_t* cuts, size_t cutCount) {
  rssvane::FirewallNegotiator negotiator;
  Result r;
  auto take = [&](const rssvane::FirewallStep& step) {
    r.sent += step.send;
    r.outcome = step.outcome;
    r.text = step.errorText;
    r.leftover += step.leftover;
    if (step.outcome == rssvane::FirewallStep::Outcome::kFailed && step.code != 118) std::abort();
  };
  take(negotiator.Start(settings));
  size_t at = 0;
  for (size_t i = 0; at < reply.size() && negotiator.Negotiating(); ++i) {
    size_t n = cuts == nullptr ? reply.size() - at : 1 + cuts[i % cutCount] % 8;
    n = std::min(n, reply.size() - at);
    take(negotiator.Data(reply.substr(at, n), false));
    at += n;
  }
  if (r.outcome == rssvane::FirewallStep::Outcome::kCompleted) r.leftover += reply.substr(at);
  if (negotiator.Negotiating()) take(negotiator.Closed());
  return r;
}

bool Same(const Result& a, const Result& b) {
  return a.sent == b.sent && a.outcome == b.outcome && a.text == b.text && a.leftover == b.leftover;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  uint8_t choice = data[0];
  const auto type = static_cast<rssvane::TFirewallType>(1 + choice % 3);
  const std::string_view user = (choice & 4) ? "user" : "";
  const std::string_view password = (choice & 8) ? "password" : "";
  const std::string_view host = (choice & 16) ? "*name.test" : "remote.test";
  rssvane::FirewallSettings settings{type, host, 8080, user, password, Resolve};
  std::string_view reply(reinterpret_cast<const char*>(data + 2), size - 2);
  uint8_t one = 0;

  Result whole = Run(settings, reply, nullptr, 0);
  if (!Same(whole, Run(settings, reply, &one, 1))) std::abort();
  if (!Same(whole, Run(settings, reply, data + 1, size - 1))) std::abort();
  if (whole.outcome == rssvane::FirewallStep::Outcome::kCompleted && whole.leftover.size() > reply.size()) std::abort();
  return 0;
}
