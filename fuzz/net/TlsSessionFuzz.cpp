// Whatever a server sends, the TLS session ends in a failure with its code
// and text or waits for more; it never establishes a session with bytes no
// trusted server signed, and what it has to send stays bounded.
//
// Input: one byte of choices, then the server's bytes, handed over in cuts
// whose sizes follow from the choices.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "net/NetCodes.h"
#include "net/TlsSession.h"

namespace {

const rssvane::TlsContext& Context(bool verify) {
  static rssvane::TlsContext contexts[2];
  rssvane::TlsContext& context = contexts[verify ? 1 : 0];
  if (!context.Loaded()) {
    std::string text;
    if (context.Load({"", verify}, text) != 0) std::abort();
  }
  return context;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using Status = rssvane::TlsSession::Status;
  if (size == 0) return 0;
  const uint8_t choices = data[0];
  std::string_view in(reinterpret_cast<const char*>(data + 1), size - 1);
  rssvane::TlsSession session;
  const char* name = (choices & 2) ? "127.0.0.1" : "feeds.example";
  if (session.Start(Context(choices & 1), name) != 0) std::abort();
  uint32_t x = choices;
  size_t sent = 0;
  Status status = Status::kWantRead;
  char plain[512];
  while (status == Status::kWantRead || status == Status::kWantSend) {
    // What the client sends is taken at once, as a socket would.
    while (session.HasOutgoing()) {
      size_t n = session.Outgoing().size();
      sent += n;
      session.Sent(n);
    }
    if (sent > 1024 * 1024) std::abort();
    if (status == Status::kWantRead) {
      if (in.empty()) break;
      x = x * 1103515245u + 12345u;
      size_t cut = 1 + (x >> 16) % ((choices & 4) ? 5 : 4096);
      if (choices & 8) {
        if (!session.Feed(in.substr(0, cut))) std::abort();  // room: the session has read all it was given
      } else {
        std::span<char> space = session.ReceiveSpace();
        cut = std::min({cut, space.size(), in.size()});
        std::copy_n(in.data(), cut, space.data());
        session.Received(cut);
      }
      in.remove_prefix(std::min(cut, in.size()));
    }
    status = session.Handshake();
  }
  if (status == Status::kDone) std::abort();  // no certificate here chains to a trusted one
  if (status == Status::kFailed && (session.Failure() != rssvane::kErrTls || session.FailureText().empty())) {
    std::abort();
  }
  size_t n = 0;
  if (session.Read(plain, n) != Status::kFailed || session.Write("GET", n) != Status::kFailed) std::abort();
  session.Close();
  return 0;
}
